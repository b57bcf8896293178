package lumotool.camgripper.sim;

/** Control of the simulated camera platform under the native library on Linux. */
public final class SimPlatform {
    static {
        System.loadLibrary("camgrip");
    }

    public static final int VIDEO_INFO = 0;
    public static final int VIDEO_INFO2 = 1;
    public static final int NO_FORMAT_BLOCK = 2;

    public static final byte[] I420 = fourcc("I420");
    public static final byte[] IYUV = fourcc("IYUV");
    public static final byte[] YV12 = fourcc("YV12");
    public static final byte[] YUY2 = fourcc("YUY2");
    public static final byte[] YUYV = fourcc("YUYV");
    public static final byte[] MJPG = fourcc("MJPG");
    public static final byte[] RGB24 = rgb((byte) 0x7D);
    public static final byte[] RGB32 = rgb((byte) 0x7E);

    private SimPlatform() {
    }

    /** {XXXXXXXX-0000-0010-8000-00AA00389B71} with the four characters as the first field. */
    public static byte[] fourcc(String code) {
        byte[] b = {0, 0, 0, 0, 0x00, 0x00, 0x10, 0x00,
                    (byte) 0x80, 0x00, 0x00, (byte) 0xAA, 0x00, 0x38, (byte) 0x9B, 0x71};
        for (int i = 0; i < 4; i++) {
            b[i] = (byte) code.charAt(i);
        }
        return b;
    }

    /** {E436EB7x-524F-11CE-9F53-0020AF0BA770}. */
    private static byte[] rgb(byte low) {
        return new byte[] {low, (byte) 0xEB, 0x36, (byte) 0xE4, 0x4F, 0x52, (byte) 0xCE, 0x11,
                           (byte) 0x9F, 0x53, 0x00, 0x20, (byte) 0xAF, 0x0B, (byte) 0xA7, 0x70};
    }

    /** No cameras, no injected failures, frames flowing, no reports. */
    public static native void reset();

    public static native void useDefaultCameras();

    /** Adds a camera (description may be null); returns its index for addCapability. */
    public static native int addCamera(String friendlyName, String description, String devicePath,
                                       int capabilitySize, int framePeriodMs);

    /** Adds a capability; sampleSize 0 means what the layout needs. */
    public static native void addCapability(int camera, byte[] subtype, int width, int height, int kind,
                                            boolean refuseSetFormat, int sampleSize);

    /** In place of an hresult: the call throws std::bad_alloc, as a failed allocation would. */
    public static final int THROWS_BAD_ALLOC = 0x7E0000AA;

    /** The nth call (1 = next) of the named graph operation fails with hresult. */
    public static native void failCall(String operation, int nth, int hresult);

    public static native void clearFailures();

    public static native void pauseFrames(boolean paused);

    /** Error reports since the last call, each "caption|text". */
    public static native String[] takeErrorReports();

    public static native int liveObjects();

    /** How often a thread entered COM: the library does so once per process. */
    public static native int comInitializations();

    /** Source then destination rectangle of the last SetVideoPosition. */
    public static native int[] lastVideoPosition();

    public static native byte[] lastRenderedFrame();

    public static native long framesDrawn();
}
