package lumotool.camgripper;

import java.awt.Canvas;
import java.awt.Graphics;
import java.nio.ByteBuffer;
import java.util.ArrayList;

/** The minimal client class the native library serves: a canvas showing one camera. */
public class CaptureDevice extends Canvas {
    private static final long serialVersionUID = 1L;

    static {
        System.loadLibrary("camgrip");
    }

    /** Set by tests: a construction throws this, after constructionsBeforeFailure more. */
    static volatile RuntimeException nextConstructionFailure;
    static volatile int constructionsBeforeFailure;

    private int pSrcFilter;
    private final String friendlyName;
    private final String description;
    private final String devicePath;

    public CaptureDevice(String friendlyName, String description, String devicePath, int pSrcFilter) {
        RuntimeException failure = nextConstructionFailure;
        if (failure != null && constructionsBeforeFailure-- == 0) {
            nextConstructionFailure = null;
            throw failure;
        }
        this.friendlyName = friendlyName;
        this.description = description;
        this.devicePath = devicePath;
        this.pSrcFilter = pSrcFilter;
    }

    public String getFriendlyName() {
        return friendlyName;
    }

    public String getDescription() {
        return description;
    }

    public String getDevicePath() {
        return devicePath;
    }

    public int getHandle() {
        return pSrcFilter;
    }

    public static native ArrayList<CaptureDevice> enumDevices();

    public native boolean start(VideoFormat format, boolean mirror);

    public native boolean stop();

    public native boolean isRunning();

    public native boolean destroy();

    @Override
    public native void setBounds(int x, int y, int width, int height);

    @Override
    public native void paint(Graphics g);

    public native VideoFormat getFormat();

    public native ArrayList<VideoFormat> queryFormats();

    public native ByteBuffer grab(ByteBuffer buffer);
}
