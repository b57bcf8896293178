package qtokcom;

/** No chReserved1: the byte at offset 3 is chReserved2. */
public class AccessInfo {
    public byte chMaxPinRetries, chCurPinCounter, chFlags, chReserved2;
    public byte chCreateAccess, chDeleteAccess, chReserved3, chReserved4;
    public byte chReserved5, chReserved6, chReserved7, chReserved8;
    public byte chReserved9, chReserved10, chReserved11, chReserved12;
}
