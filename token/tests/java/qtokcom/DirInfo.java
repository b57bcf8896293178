package qtokcom;

public class DirInfo {
    public int lId, lFlags, lMaxSize, lMaxEntries;
    public int lReserved1, lReserved2, lReserved3, lReserved4;
    public int lReserved5, lReserved6, lReserved7, lReserved8;
}
