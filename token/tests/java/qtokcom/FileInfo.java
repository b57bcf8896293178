package qtokcom;

public class FileInfo {
    public int lId, lFlags, lFileSize;
    public byte chFileType, chReadAccess, chWriteAccess, chCryptAccess;
    public int lReserved1, lReserved2, lReserved3;
    public byte chGrantedAccess, chReserved1, chReserved2, chReserved3;
    public int lReserved4, lReserved5, lReserved6;
}
