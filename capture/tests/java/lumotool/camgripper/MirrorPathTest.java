package lumotool.camgripper;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.nio.ByteBuffer;
import java.util.Arrays;

import lumotool.camgripper.sim.SimPlatform;
import org.junit.jupiter.api.Test;

/**
 * Every subtype through the whole path: camera, VideoFilter (connected type
 * recorded, frame mirrored in place), renderer. The renderer's last frame must be
 * some camera frame mirrored as a picture would be, or left alone where it must.
 */
class MirrorPathTest extends CameraTestBase {
    private static byte[] cameraFrame(int n, int size) {
        byte[] frame = new byte[size];
        for (int i = 0; i < size; i++) {
            frame[i] = (byte) (n + i);
        }
        return frame;
    }

    private static void reverseRows(byte[] in, byte[] out, int offset, int rowLength, int rows) {
        for (int r = 0; r < rows; r++) {
            for (int i = 0; i < rowLength; i++) {
                out[offset + r * rowLength + i] = in[offset + r * rowLength + rowLength - 1 - i];
            }
        }
    }

    /** The picture mirrored left to right, by layout. */
    private static byte[] mirrored(byte[] in, String layout, int w, int h) {
        byte[] out = in.clone();
        switch (layout) {
            case "planar":
                reverseRows(in, out, 0, w, h);
                reverseRows(in, out, w * h, w / 2, h / 2);
                reverseRows(in, out, w * h * 5 / 4, w / 2, h / 2);
                break;
            case "packed": {
                int macropixels = w / 2;
                for (int r = 0; r < h; r++) {
                    for (int m = 0; m < macropixels; m++) {
                        int other = macropixels - 1 - m;
                        if (other == m) {
                            continue;
                        }
                        int dst = r * 2 * w + 4 * m;
                        int src = r * 2 * w + 4 * other;
                        out[dst] = in[src + 2];
                        out[dst + 1] = in[src + 1];
                        out[dst + 2] = in[src];
                        out[dst + 3] = in[src + 3];
                    }
                }
                break;
            }
            case "rgb24":
            case "rgb32": {
                int bytes = layout.equals("rgb24") ? 3 : 4;
                for (int r = 0; r < h; r++) {
                    for (int j = 0; j < w; j++) {
                        System.arraycopy(in, (r * w + w - 1 - j) * bytes, out, (r * w + j) * bytes, bytes);
                    }
                }
                break;
            }
            default:
                break;
        }
        return out;
    }

    /** Starts a one-capability camera mirrored and checks what the renderer got. */
    private void check(byte[] subtype, int width, int height, int sampleSize, String layout) {
        SimPlatform.reset();
        int cam = Fixture.camera("cam");
        SimPlatform.addCapability(cam, subtype, width, height, SimPlatform.VIDEO_INFO, false, sampleSize);
        CaptureDevice d = fixture.list().get(0);
        fixture.show(d);
        assertTrue(d.start(null, true));
        ByteBuffer grabbed = d.grab(null);
        assertNotNull(grabbed);
        // A second grab makes sure the first grabbed frame went on to the renderer.
        assertNotNull(d.grab(grabbed));
        byte[] rendered = SimPlatform.lastRenderedFrame();
        assertEquals(grabbed.capacity(), rendered.length);
        String what = layout + " " + width + "x" + height;
        for (int n = 0; n < 256; n++) {
            byte[] original = cameraFrame(n, rendered.length);
            // A top-down frame (negative height) has as many rows, mirrored alike.
            if (Arrays.equals(mirrored(original, layout, width, Math.abs(height)), rendered)) {
                // The grab got the camera's frame, not the mirrored one.
                byte[] copy = new byte[grabbed.capacity()];
                grabbed.get(0, copy);
                assertTrue(Arrays.equals(cameraFrame(copy[0], copy.length), copy), what + ": grabbed frame");
                assertTrue(d.destroy());
                return;
            }
        }
        fail(what + ": the renderer got no camera frame mirrored as expected");
    }

    @Test
    void planarSubtypesMirrorTheirThreePlanes() {
        check(SimPlatform.I420, 16, 12, 0, "planar");
        check(SimPlatform.IYUV, 10, 6, 0, "planar");
        check(SimPlatform.YV12, 18, 10, 0, "planar");
    }

    @Test
    void packedSubtypesExchangeMacropixels() {
        check(SimPlatform.YUY2, 16, 4, 0, "packed");
        check(SimPlatform.YUYV, 12, 4, 0, "packed");
    }

    @Test
    void rgbSubtypesReversePixelOrder() {
        check(SimPlatform.RGB24, 7, 5, 0, "rgb24");
        check(SimPlatform.RGB32, 5, 3, 0, "rgb32");
        check(SimPlatform.RGB32, 8, -4, 0, "rgb32");
        check(SimPlatform.RGB24, 6, -3, 0, "rgb24");
    }

    @Test
    void framesThatMustNotBeMirroredPassAsTheyAre() {
        check(SimPlatform.MJPG, 16, 12, 0, "none");  // compressed
        check(SimPlatform.RGB24, 8, 8, 100, "none");  // the sample is smaller than the layout
        check(SimPlatform.I420, 16, 12, 16 * 12, "none");
    }
}
