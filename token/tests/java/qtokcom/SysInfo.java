package qtokcom;

public class SysInfo {
    public int lFlags, lFreeSpace, lReserved1, lReserved2;
    public byte chFileSysType, chMaxDirLevels, chReserved1, chReserved2;
    public int lReserved3, lReserved4, lReserved5;
}
