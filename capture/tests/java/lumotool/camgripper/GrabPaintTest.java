package lumotool.camgripper;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNotSame;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.Color;
import java.awt.EventQueue;
import java.awt.Graphics;
import java.awt.Point;
import java.awt.Rectangle;
import java.awt.Toolkit;
import java.awt.image.BufferedImage;
import java.lang.reflect.InvocationTargetException;
import java.nio.ByteBuffer;
import java.util.concurrent.atomic.AtomicReference;

import lumotool.camgripper.sim.SimPlatform;
import org.junit.jupiter.api.Test;

/** grab, paint and setBounds. */
class GrabPaintTest extends CameraTestBase {
    private static final int W = 16;
    private static final int H = 12;
    private static final int FRAME = W * H * 4;

    @Override
    protected void cameras() {
        int cam = Fixture.camera("cam");
        Fixture.capability(cam, SimPlatform.RGB32, W, H);
        Fixture.capability(cam, SimPlatform.YUY2, W, H);
        Fixture.capability(cam, SimPlatform.YUY2, W - 1, H);
    }

    /** Frames are bytes (n + i) mod 256: an unmirrored frame counts up by one. */
    private static void assertUnmirrored(ByteBuffer frame, int size) {
        int first = frame.get(0) & 0xFF;
        for (int i = 0; i < size; i++) {
            assertEquals((first + i) & 0xFF, frame.get(i) & 0xFF, "byte " + i);
        }
    }

    /** An RGB32 frame with the pixel order of each row reversed. */
    private static void assertMirroredRgb32(byte[] frame) {
        assertEquals(FRAME, frame.length);
        int base = (frame[0] & 0xFF) - (W - 1) * 4;
        for (int r = 0; r < H; r++) {
            for (int j = 0; j < W; j++) {
                for (int k = 0; k < 4; k++) {
                    int expected = (base + (r * W + (W - 1 - j)) * 4 + k) & 0xFF;
                    assertEquals(expected, frame[(r * W + j) * 4 + k] & 0xFF, "row " + r + " pixel " + j);
                }
            }
        }
    }

    private void waitForFrames(long count) throws InterruptedException {
        long start = SimPlatform.framesDrawn();
        for (int i = 0; i < 500 && SimPlatform.framesDrawn() < start + count; i++) {
            Thread.sleep(5);
        }
        assertTrue(SimPlatform.framesDrawn() >= start + count, "the renderer draws frames");
    }

    @Test
    void grabReturnsNullUnlessRunning() {
        CaptureDevice d = fixture.showFirst();
        assertNull(d.grab(null));
        assertNull(d.grab(ByteBuffer.allocateDirect(FRAME)));
        assertTrue(d.start(null, false));
        assertTrue(d.stop());
        assertNull(d.grab(null));
    }

    @Test
    void grabHandsOutFramesInTheRightBuffers() {
        CaptureDevice d = fixture.showFirst();
        assertTrue(d.start(null, false));
        // No buffer: a new direct one of exactly one sample.
        ByteBuffer fresh = d.grab(null);
        assertNotNull(fresh);
        assertTrue(fresh.isDirect());
        assertEquals(FRAME, fresh.capacity());
        assertUnmirrored(fresh, FRAME);
        // Passed back: the same object, with a newer frame in it.
        int firstFrame = fresh.get(0) & 0xFF;
        assertSame(fresh, d.grab(fresh));
        assertUnmirrored(fresh, FRAME);
        assertTrue((fresh.get(0) & 0xFF) != firstFrame, "a new frame was copied");
        // Larger: the same object; only the frame's bytes are written.
        ByteBuffer large = ByteBuffer.allocateDirect(FRAME + 100);
        for (int i = 0; i < large.capacity(); i++) {
            large.put(i, (byte) 0x5A);
        }
        assertSame(large, d.grab(large));
        assertUnmirrored(large, FRAME);
        for (int i = FRAME; i < large.capacity(); i++) {
            assertEquals(0x5A, large.get(i) & 0xFF);
        }
        assertEquals(0, large.position());
        // Smaller: left untouched, a new buffer comes back.
        ByteBuffer small = ByteBuffer.allocateDirect(FRAME - 1);
        ByteBuffer instead = d.grab(small);
        assertNotSame(small, instead);
        assertEquals(FRAME, instead.capacity());
        for (int i = 0; i < small.capacity(); i++) {
            assertEquals(0, small.get(i));
        }
        // Not direct, or read-only: treated as too small, never written.
        ByteBuffer heap = ByteBuffer.allocate(FRAME * 2);
        ByteBuffer direct = d.grab(heap);
        assertNotSame(heap, direct);
        assertTrue(direct.isDirect());
        assertEquals(FRAME, direct.capacity());
        ByteBuffer view = ByteBuffer.allocateDirect(FRAME).asReadOnlyBuffer();
        assertNotSame(view, d.grab(view));
        assertEquals(0, view.get(0));
    }

    @Test
    void aMirroringDeviceGrabsUnmirroredFramesAndRendersMirroredOnes() throws InterruptedException {
        CaptureDevice d = fixture.showFirst();
        assertTrue(d.start(null, true));
        ByteBuffer grabbed = d.grab(null);
        assertUnmirrored(grabbed, FRAME);
        waitForFrames(2);
        assertMirroredRgb32(SimPlatform.lastRenderedFrame());
        assertTrue(d.stop());
        // Started again without mirroring the renderer gets the frames as they are.
        assertTrue(d.start(null, false));
        waitForFrames(2);
        assertUnmirrored(ByteBuffer.wrap(SimPlatform.lastRenderedFrame()), FRAME);
    }

    @Test
    void aGrabWithoutFramesGivesUpAndLaterGrabsWork() {
        CaptureDevice d = fixture.showFirst();
        assertTrue(d.start(null, false));
        SimPlatform.pauseFrames(true);
        ByteBuffer buffer = ByteBuffer.allocateDirect(FRAME);
        assertNull(d.grab(buffer));
        SimPlatform.pauseFrames(false);
        assertSame(buffer, d.grab(buffer));
        assertUnmirrored(buffer, FRAME);
    }

    @Test
    void stoppingTheDeviceUnderAWaitingGrabIsSafe() throws InterruptedException {
        CaptureDevice d = fixture.showFirst();
        assertTrue(d.start(null, true));
        SimPlatform.pauseFrames(true);
        AtomicReference<ByteBuffer> result = new AtomicReference<>(ByteBuffer.allocate(1));
        ByteBuffer offered = ByteBuffer.allocateDirect(FRAME);
        Thread grabber = new Thread(() -> result.set(d.grab(offered)));
        grabber.start();
        Thread.sleep(200);
        assertTrue(d.stop());
        // Woken by the stop, not by the end of its 3-second bound.
        grabber.join(2000);
        assertFalse(grabber.isAlive(), "the stop released the waiting grab");
        grabber.join();
        assertNull(result.get());
        assertFalse(d.isRunning());
        // The waiting grab let go of the filter: nothing of the graph is left.
        SimPlatform.pauseFrames(false);
        assertTrue(d.start(null, false));
    }

    private BufferedImage capture(CaptureDevice d) {
        fixture.settle();
        Point at = d.getLocationOnScreen();
        return fixture.robot.createScreenCapture(new Rectangle(at.x, at.y, d.getWidth(), d.getHeight()));
    }

    private static int countPixels(BufferedImage image, int rgb) {
        int count = 0;
        for (int y = 0; y < image.getHeight(); y++) {
            for (int x = 0; x < image.getWidth(); x++) {
                if ((image.getRGB(x, y) & 0xFFFFFF) == rgb) {
                    count++;
                }
            }
        }
        return count;
    }

    private static void fillWhite(CaptureDevice d) throws InterruptedException, InvocationTargetException {
        EventQueue.invokeAndWait(() -> {
            Graphics g = d.getGraphics();
            g.setColor(Color.WHITE);
            g.fillRect(0, 0, d.getWidth(), d.getHeight());
            g.dispose();
            Toolkit.getDefaultToolkit().sync();
        });
    }

    @Test
    void paintFillsAnIdleCanvasBlackAndLeavesACanvasWithoutDeviceAlone() throws Exception {
        CaptureDevice none = new CaptureDevice("none", null, null, 0);
        CaptureDevice d = fixture.list().get(0);
        fixture.show(none, d);
        int pixels = d.getWidth() * d.getHeight();
        fillWhite(d);
        fillWhite(none);
        assertEquals(pixels, countPixels(capture(d), 0xFFFFFF));
        d.paint(null);
        none.paint(null);
        assertEquals(pixels, countPixels(capture(d), 0x000000), "idle canvas painted black");
        assertEquals(pixels, countPixels(capture(none), 0xFFFFFF), "no device, nothing drawn");
    }

    @Test
    void aRunningCanvasShowsTheVideoAndPaintRepaintsIt() throws Exception {
        CaptureDevice d = fixture.showFirst();
        assertTrue(d.start(null, false));
        waitForFrames(3);
        assertVideoShown(d);
        // A row of odd width ends in half a macropixel; it is drawn from within the frame.
        assertTrue(d.stop());
        assertTrue(d.start(new VideoFormat(W - 1, H, GUID.of(SimPlatform.YUY2)), false));
        waitForFrames(3);
    }

    /** Over a canvas filled white, paint draws the last frame again: neither white nor black. */
    private void assertVideoShown(CaptureDevice d) throws Exception {
        SimPlatform.pauseFrames(true);
        Thread.sleep(50);
        fillWhite(d);
        assertEquals(d.getWidth() * d.getHeight(), countPixels(capture(d), 0xFFFFFF));
        d.paint(null);
        BufferedImage shown = capture(d);
        int white = countPixels(shown, 0xFFFFFF);
        int black = countPixels(shown, 0x000000);
        assertTrue(white + black < d.getWidth() * d.getHeight() / 4,
                "the last frame is drawn again (white " + white + ", black " + black + ")");
        SimPlatform.pauseFrames(false);
    }

    /**
     * AWT gives a canvas a new native window each time it is shown again: a frame
     * disposed and shown, the canvas taken out and put back, or moved into another
     * container. Video, paint and the black fill follow the window the canvas has.
     */
    @Test
    void theVideoFollowsTheCanvasIntoEachNewWindow() throws Exception {
        CaptureDevice d = fixture.showFirst();
        assertTrue(d.start(null, false));
        assertTrue(d.stop());
        fixture.frame.dispose();
        fixture.frame.pack();
        fixture.frame.setVisible(true);
        fixture.settle();
        fillWhite(d);
        d.paint(null);
        assertEquals(d.getWidth() * d.getHeight(), countPixels(capture(d), 0x000000), "idle canvas painted black");
        assertTrue(d.start(null, false));
        waitForFrames(3);
        assertVideoShown(d);

        fixture.frame.remove(d);
        fixture.frame.add(d);
        fixture.frame.pack();
        fixture.settle();
        assertVideoShown(d);

        java.awt.Panel other = new java.awt.Panel(new java.awt.FlowLayout(java.awt.FlowLayout.LEFT, 0, 0));
        fixture.frame.remove(d);
        other.add(d);
        fixture.frame.add(other);
        fixture.frame.pack();
        fixture.settle();
        assertVideoShown(d);
        assertTrue(d.isRunning());
    }

    /**
     * A device is its handle, whatever its canvas's window: taken out of its frame,
     * or its frame disposed (a dialog closed), a running device still answers and
     * stops, and nothing is drawn or built for the window it no longer has.
     */
    @Test
    void aRunningDeviceAnswersAndStopsWhileItsCanvasHasNoWindow() throws Exception {
        CaptureDevice d = fixture.showFirst();
        assertTrue(d.start(null, false));
        fixture.frame.remove(d);
        fixture.settle();
        assertTrue(d.isRunning());
        assertNotNull(d.grab(null));
        assertNotNull(d.getFormat());
        assertNotNull(d.queryFormats());
        int objects = SimPlatform.liveObjects();
        assertTrue(d.start(null, false), "the device runs on");
        d.paint(null);
        d.setBounds(0, 0, 50, 40);
        assertEquals(objects, SimPlatform.liveObjects(), "nothing built or dropped");
        fixture.frame.add(d);
        fixture.frame.pack();
        fixture.settle();
        assertVideoShown(d);

        fixture.frame.dispose();
        fixture.settle();
        assertTrue(d.isRunning());
        assertNotNull(d.grab(null));
        assertTrue(d.stop(), "the camera stops with its window gone");
        assertFalse(d.isRunning());
        assertNull(d.grab(null));
        assertTrue(d.start(null, true), "and starts again without one");
        assertNotNull(d.grab(null));
        assertTrue(d.destroy());
        assertEquals(0, SimPlatform.liveObjects(), "graph and source filter released");
        Fixture.assertReports();
    }

    /**
     * A client that starts the camera while it builds its UI, before the canvas is
     * shown: the camera runs, grab has its frames, and the video appears once the
     * canvas is shown, with no second start. The renderer is made by the first
     * paint or layout that finds the canvas's window, on the event thread or on the
     * thread that showed the frame: here one that never called the library before
     * (no COM entered on it, as on AWT's event thread).
     */
    @Test
    void aCameraStartedBeforeItsCanvasIsShownRunsAndShowsItsVideoOnceShown() throws Exception {
        CaptureDevice d = fixture.list().get(0);
        long drawn = SimPlatform.framesDrawn();
        assertTrue(d.start(null, false));
        assertTrue(d.isRunning());
        assertNotNull(d.grab(null), "frames without a preview");
        assertEquals(drawn, SimPlatform.framesDrawn(), "nothing drawn without a window");
        Thread shower = new Thread(() -> fixture.show(d), "shows-the-frame");
        shower.start();
        shower.join();
        for (int i = 0; i < 500 && SimPlatform.framesDrawn() == drawn; i++) Thread.sleep(10);
        assertNotEquals(drawn, SimPlatform.framesDrawn(), "video drawn once the canvas shows");
        // Frames are drawn from the moment the renderer is in the graph; the paint or
        // layout that put it there may still be ending on the event thread.
        fixture.settle();
        assertVideoShown(d);
        assertArrayEquals(new int[] {0, 0, W, H, 0, 0, 160, 120}, SimPlatform.lastVideoPosition());
        Fixture.assertReports();
    }

    @Test
    void startFitsTheVideoToTheCanvasAndSetBoundsRefitsIt() {
        CaptureDevice d = fixture.showFirst();
        assertTrue(d.start(null, false));
        assertArrayEquals(new int[] {0, 0, W, H, 0, 0, 160, 120}, SimPlatform.lastVideoPosition());
        d.setBounds(3, 4, 320, 240);
        assertArrayEquals(new int[] {0, 0, W, H, 0, 0, 320, 240}, SimPlatform.lastVideoPosition());
        assertEquals(new Rectangle(3, 4, 320, 240), d.getBounds());
    }

    @Test
    void setBoundsMovesTheCanvasWithoutARecordToo() {
        CaptureDevice unshown = fixture.list().get(0);
        unshown.setBounds(5, 6, 70, 80);
        assertEquals(new Rectangle(5, 6, 70, 80), unshown.getBounds());
        CaptureDevice none = new CaptureDevice("none", null, null, 0);
        fixture.show(none);
        none.setBounds(1, 2, 30, 40);
        assertEquals(new Rectangle(1, 2, 30, 40), none.getBounds());
        // An idle device with a record has no renderer to fit.
        fixture.show(unshown);
        int[] before = SimPlatform.lastVideoPosition();
        unshown.setBounds(0, 0, 99, 77);
        assertArrayEquals(before, SimPlatform.lastVideoPosition());
        assertEquals(new Rectangle(0, 0, 99, 77), unshown.getBounds());
    }
}
