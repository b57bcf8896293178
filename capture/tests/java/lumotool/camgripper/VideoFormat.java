package lumotool.camgripper;

/** A picture format: width, height (signed, as the camera states it) and subtype. */
public class VideoFormat {
    private final int width;
    private final int height;
    private final GUID subType;

    public VideoFormat(int width, int height, GUID subType) {
        this.width = width;
        this.height = height;
        this.subType = subType;
    }

    public int getWidth() {
        return width;
    }

    public int getHeight() {
        return height;
    }

    public GUID getSubType() {
        return subType;
    }

    @Override
    public String toString() {
        return (subType == null ? "any" : subType.toString()) + " " + width + "x" + height;
    }
}
