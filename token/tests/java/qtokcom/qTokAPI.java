package qtokcom;

/** Minimal client class: the 39 native methods and the two fields QTOKJNI keeps its objects in. */
public class qTokAPI {
    static {
        System.loadLibrary("QTOKJNI");
    }

    public byte[] handle = new byte[8];
    public byte[] hash = new byte[8];

    public native void Init();
    public native void Uninit();
    public native int GetLibVersion();
    public native int GetDriverVersion();

    public native void CreateContext(int p1, int p2);
    public native void DeleteContext();
    public native void OpenDevice(int p1, byte[] p2);
    public native void CloseDevice();
    public native void Verify(int p1, byte[] p2, int p3);
    public native void ChangeCode(int p1, byte[] p2, int p3, byte[] p4, int p5);
    public native void ResetSecurityState(int p1);
    public native void Cleanup(int p1);
    public native void GetProperty(int p1, byte[] p2, byte[] p3, int p4);
    public native void SetProperty(int p1, byte[] p2, byte[] p3, int p4);
    public native void GetSysInfo(Object p1);
    public native void GetVersionInfo(Object p1);

    public native void CreateDir(int p1, byte[] p2, byte[] p3, Object p4);
    public native void DeleteDir(int p1, int p2, byte[] p3);
    public native void ChangeDir(int p1, int p2, byte[] p3);
    public native void GetCurrentDir(int p1, int[] p2, int p3, int[] p4);
    public native void Directory(int p1, int p2, Object p3);
    public native void CreateFile(int p1, Object p2);
    public native void DeleteFile(int p1, int p2);
    public native void OpenFile(int p1, int p2, Object p3);
    public native void CloseFile();
    public native void Read(int p1, int p2, byte[] p3, int p4, int[] p5);
    public native void Write(int p1, int p2, byte[] p3, int p4, int[] p5);
    public native void Decrement(int p1, int p2);
    public native void GetFileInfo(int p1, int p2, byte[] p3, Object p4);
    public native void GetAccessInfo(int p1, Object p2);
    public native void SetAccessInfo(int p1, Object p2);

    public native void HashToken(int p1, int p2, byte[] p3, int p4, byte[] p5, int p6, int[] p7);
    public native void MD5HMAC(int p1, int p2, byte[] p3, int p4, byte[] p5);
    public native void MD5CHAP(int p1, int p2, byte[] p3, int p4, byte[] p5);
    public native void GenRandom(int p1, byte[] p2, byte[] p3, int p4);
    public native void SMD5Hash(byte[] p1, int p2, byte[] p3);
    public native void SMD5HMAC(byte[] p1, int p2, byte[] p3, int p4, byte[] p5, byte[] p6, byte[] p7);
    public native void SMD5CHAP(int p1, byte[] p2, int p3, byte[] p4, int p5, byte[] p6);
    public native void SMD5XOR(byte[] p1, int p2, byte[] p3, int p4, byte[] p5);
}
