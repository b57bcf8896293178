package lumotool.camgripper;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.ByteBuffer;
import java.util.ArrayList;
import java.util.List;

import lumotool.camgripper.sim.SimPlatform;
import org.junit.jupiter.api.Test;

/** Device states, start's format choice and its failure sites. */
class StartTest extends CameraTestBase {
    /** A VideoFormat that logs which of its methods the library calls. */
    static final class LoggingFormat extends VideoFormat {
        final List<String> calls = new ArrayList<>();

        LoggingFormat(int width, int height, GUID subType) {
            super(width, height, subType);
        }

        @Override
        public int getWidth() {
            calls.add("W");
            return super.getWidth();
        }

        @Override
        public int getHeight() {
            calls.add("H");
            return super.getHeight();
        }

        @Override
        public GUID getSubType() {
            calls.add("S");
            return super.getSubType();
        }
    }

    private static int standardCamera() {
        int cam = Fixture.camera("cam");
        SimPlatform.addCapability(cam, SimPlatform.RGB32, 64, 48, SimPlatform.VIDEO_INFO2, false, 0);
        Fixture.capability(cam, SimPlatform.RGB32, 32, 24);
        Fixture.capability(cam, SimPlatform.YUY2, 32, 24);
        // Refused by SetFormat; it differs from the next one in its sample size only.
        SimPlatform.addCapability(cam, SimPlatform.YUY2, 64, 48, SimPlatform.VIDEO_INFO, true, 64 * 48 * 2 + 512);
        Fixture.capability(cam, SimPlatform.YUY2, 64, 48);
        Fixture.capability(cam, SimPlatform.I420, 64, -48);
        return cam;
    }

    @Test
    void aDeviceWithoutHandleGivesTheNoDeviceResults() {
        CaptureDevice none = new CaptureDevice("none", null, null, 0);
        fixture.show(none);
        assertFalse(none.start(null, false));
        assertFalse(none.stop());
        assertFalse(none.isRunning());
        assertFalse(none.destroy());
        assertNull(none.getFormat());
        assertNull(none.queryFormats());
        assertNull(none.grab(null));
        // An unknown non-zero handle is no device either.
        CaptureDevice forged = new CaptureDevice("forged", null, null, 0x7654321);
        fixture.show(forged);
        assertFalse(forged.start(null, false));
        assertNull(forged.queryFormats());
        assertFalse(forged.destroy());
        Fixture.assertReports();
    }

    @Test
    void theDeviceMovesThroughItsStates() {
        standardCamera();
        CaptureDevice d = fixture.list().get(0);
        // Not shown yet: the camera runs all the same, without a preview.
        assertTrue(d.start(null, false));
        assertTrue(d.stop());
        fixture.show(d);
        assertFalse(d.isRunning());
        assertTrue(d.stop(), "stop of a never started device");
        assertTrue(d.start(null, false));
        assertTrue(d.isRunning());
        assertTrue(d.stop());
        assertFalse(d.isRunning());
        assertTrue(d.start(null, true), "a stopped device starts again");
        assertTrue(d.destroy());
        assertEquals(0, d.getHandle());
        assertFalse(d.isRunning());
        assertFalse(d.destroy());
        assertFalse(d.start(null, false));
        Fixture.assertReports();
    }

    @Test
    void startWithoutFormatKeepsTheCurrentOneAndARunningDeviceSwitchesOnlyForAnotherFormat() {
        standardCamera();
        CaptureDevice d = fixture.showFirst();
        assertTrue(d.start(null, false));
        // The current format is the camera's first one, whatever its block.
        VideoFormat current = d.getFormat();
        assertArrayEquals(SimPlatform.RGB32, current.getSubType().bytes());
        assertEquals(0, current.getWidth(), "a VIDEOINFOHEADER2 connection has no known size");
        // What it runs already: kept as it is.
        int objects = SimPlatform.liveObjects();
        LoggingFormat same = new LoggingFormat(0, 0, GUID.of(SimPlatform.RGB32));
        assertTrue(d.start(same, false));
        assertEquals(objects, SimPlatform.liveObjects(), "the same graph");
        // Another format, or mirroring: built anew with it.
        LoggingFormat other = new LoggingFormat(64, 48, GUID.of(SimPlatform.YUY2));
        assertTrue(d.start(other, true));
        assertFalse(other.calls.isEmpty(), "the new format was asked for");
        assertArrayEquals(SimPlatform.YUY2, d.getFormat().getSubType().bytes());
        assertEquals(64 * 48 * 2, d.grab(null).capacity());
        assertTrue(d.start(other, false));
        assertTrue(d.isRunning());
    }

    @Test
    void aZeroFormatTakesTheFirstVideoInfoCapability() {
        standardCamera();
        CaptureDevice d = fixture.showFirst();
        assertTrue(d.start(new VideoFormat(0, 0, null), false));
        VideoFormat f = d.getFormat();
        assertArrayEquals(SimPlatform.RGB32, f.getSubType().bytes());
        assertEquals(32, f.getWidth());
        assertEquals(24, f.getHeight());
    }

    @Test
    void matchingAsksSubtypeWidthHeightPerCandidateAndSkipsRefusedCapabilities() {
        standardCamera();
        CaptureDevice d = fixture.showFirst();
        LoggingFormat wanted = new LoggingFormat(64, 48, GUID.of(SimPlatform.YUY2));
        assertTrue(d.start(wanted, false));
        // RGB32 32x24: subtype differs; YUY2 32x24: width differs; YUY2 64x48 refused
        // by SetFormat; YUY2 64x48 chosen. The VIDEOINFOHEADER2 one is never asked about.
        assertEquals(List.of("S", "S", "W", "S", "W", "H", "S", "W", "H"), wanted.calls);
        VideoFormat f = d.getFormat();
        assertArrayEquals(SimPlatform.YUY2, f.getSubType().bytes());
        assertEquals(64, f.getWidth());
        assertEquals(48, f.getHeight());
        Fixture.assertReports();
    }

    @Test
    void heightsAreComparedExactlySignIncluded() {
        standardCamera();
        CaptureDevice d = fixture.showFirst();
        assertFalse(d.start(new VideoFormat(64, 48, GUID.of(SimPlatform.I420)), false));
        assertTrue(d.start(new VideoFormat(0, -48, null), false));
        assertEquals(-48, d.getFormat().getHeight());
        assertArrayEquals(SimPlatform.I420, d.getFormat().getSubType().bytes());
    }

    @Test
    void aFormatNoCapabilityMatchesFailsSilentlyAndLeavesTheDeviceIdle() {
        standardCamera();
        CaptureDevice d = fixture.showFirst();
        int before = SimPlatform.liveObjects();
        assertFalse(d.start(new VideoFormat(1234, 0, null), false));
        assertFalse(d.isRunning());
        assertNull(d.getFormat());
        assertEquals(before, SimPlatform.liveObjects(), "the graph is released");
        Fixture.assertReports();
        // Subtype buffers that cannot hold a GUID never match (and are not read past).
        ByteBuffer shortBuffer = ByteBuffer.allocateDirect(8);
        shortBuffer.put(SimPlatform.RGB32, 0, 8);
        assertFalse(d.start(new VideoFormat(0, 0, new GUID(shortBuffer)), false));
        assertFalse(d.start(new VideoFormat(0, 0, new GUID(ByteBuffer.wrap(SimPlatform.RGB32.clone()))), false));
        assertFalse(d.start(new VideoFormat(0, 0, new GUID(null)), false));
        assertEquals(before, SimPlatform.liveObjects());
        Fixture.assertReports();
        assertTrue(d.start(new VideoFormat(0, 0, GUID.of(SimPlatform.RGB32)), false));
    }

    @Test
    void aThrowingFormatMethodStopsStartWithTheExceptionPending() {
        standardCamera();
        CaptureDevice d = fixture.showFirst();
        int before = SimPlatform.liveObjects();
        for (String failing : new String[] {"S", "W", "H", "B"}) {
            VideoFormat throwing = new VideoFormat(0, 0, null) {
                @Override
                public GUID getSubType() {
                    if (failing.equals("S")) {
                        throw new IllegalStateException(failing);
                    }
                    if (!failing.equals("B")) {
                        return null;
                    }
                    return new GUID(ByteBuffer.allocateDirect(16)) {
                        @Override
                        public ByteBuffer getBuf() {
                            throw new IllegalStateException("B");
                        }
                    };
                }

                @Override
                public int getWidth() {
                    if (failing.equals("W")) {
                        throw new IllegalStateException(failing);
                    }
                    return 0;
                }

                @Override
                public int getHeight() {
                    if (failing.equals("H")) {
                        throw new IllegalStateException(failing);
                    }
                    return 0;
                }
            };
            IllegalStateException thrown = assertThrows(IllegalStateException.class, () -> d.start(throwing, false));
            assertEquals(failing, thrown.getMessage());
            assertFalse(d.isRunning());
            assertEquals(before, SimPlatform.liveObjects());
        }
        Fixture.assertReports();
        assertTrue(d.start(null, false));
    }

    private static final Object[][] START_SITES = {
        {"CreateCaptureGraphBuilder", 1, 324},
        {"CreateFilterGraph", 1, 332},
        {"AddFilter", 1, 340},
        {"SetFiltergraph", 1, 348},
        {"CreateVideoRenderer", 1, 358},
        {"AddFilter", 2, 367},
        {"QueryRendererConfig", 1, 376},
        {"SetRenderingMode", 1, 384},
        {"QueryWindowlessControl", 1, 392},
        {"SetVideoClippingWindow", 1, 400},
        {"FindStreamConfig", 1, 423},
        {"CreateVideoFilter", 1, 508},
        {"AddFilter", 3, 516},
        {"FindPin", 1, 525},
        {"FindPin", 2, 533},
        {"ConnectDirect", 1, 542},
        {"RenderStream", 1, 556},
        {"QueryMediaControl", 1, 565},
        {"Run", 1, 573},
    };

    @Test
    void everyFailureSiteIsReportedOnceAndLeavesTheDeviceIdle() {
        standardCamera();
        CaptureDevice d = fixture.showFirst();
        int before = SimPlatform.liveObjects();
        for (Object[] row : START_SITES) {
            String operation = (String) row[0];
            int site = (Integer) row[2];
            SimPlatform.failCall(operation, (Integer) row[1], Fixture.E_FAIL);
            assertFalse(d.start(new VideoFormat(0, 0, null), true), operation);
            Fixture.assertReports(Fixture.site(site, "Unspecified error."));
            assertFalse(d.isRunning(), operation);
            assertNull(d.getFormat(), operation);
            assertNull(d.grab(null), operation);
            assertEquals(before, SimPlatform.liveObjects(), "everything released after " + operation);
        }
        // After all that the device still starts.
        assertTrue(d.start(new VideoFormat(0, 0, null), true));
        assertTrue(d.isRunning());
    }

    @Test
    void aCodeWithoutTextIsReportedAsUnkownError() {
        standardCamera();
        CaptureDevice d = fixture.showFirst();
        SimPlatform.failCall("RenderStream", 1, Fixture.UNKNOWN_CODE);
        assertFalse(d.start(null, false));
        Fixture.assertReports(Fixture.site(556, "Unkown error"));
        assertFalse(d.isRunning());
    }

    @Test
    void aWrongCapabilitySizeFailsAtItsSite() {
        int cam = SimPlatform.addCamera("odd", null, "p", 100, 10);
        Fixture.capability(cam, SimPlatform.RGB32, 16, 16);
        CaptureDevice d = fixture.showFirst();
        int before = SimPlatform.liveObjects();
        assertFalse(d.start(new VideoFormat(16, 16, null), false));
        Fixture.assertReports(Fixture.site(433, "Unspecified error."));
        assertFalse(d.isRunning());
        assertEquals(before, SimPlatform.liveObjects());
        // Without a format the capabilities are not read at all.
        assertTrue(d.start(null, false));
    }
}
