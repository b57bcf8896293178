package lumotool.camgripper;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNotSame;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.ByteBuffer;
import java.util.List;

import lumotool.camgripper.sim.SimPlatform;
import org.junit.jupiter.api.Test;

/** getFormat and queryFormats. */
class FormatsTest extends CameraTestBase {
    private static void mixedCamera() {
        int cam = Fixture.camera("cam");
        Fixture.capability(cam, SimPlatform.YUY2, 64, 48);
        SimPlatform.addCapability(cam, SimPlatform.RGB32, 640, 480, SimPlatform.VIDEO_INFO2, false, 0);
        Fixture.capability(cam, SimPlatform.RGB24, 32, -24);
        SimPlatform.addCapability(cam, SimPlatform.MJPG, 320, 240, SimPlatform.NO_FORMAT_BLOCK, false, 0);
        Fixture.capability(cam, SimPlatform.YUY2, 64, 48);
        Fixture.capability(cam, SimPlatform.I420, 16, 12);
    }

    private static void assertFormat(VideoFormat f, byte[] subtype, int width, int height) {
        assertArrayEquals(subtype, f.getSubType().bytes());
        assertEquals(16, f.getSubType().getBuf().capacity());
        assertTrue(f.getSubType().getBuf().isDirect());
        assertEquals(width, f.getWidth());
        assertEquals(height, f.getHeight());
    }

    private static void assertMixedList(List<VideoFormat> formats) {
        assertNotNull(formats);
        assertEquals(4, formats.size());
        assertFormat(formats.get(0), SimPlatform.YUY2, 64, 48);
        assertFormat(formats.get(1), SimPlatform.RGB24, 32, -24);
        assertFormat(formats.get(2), SimPlatform.YUY2, 64, 48);
        assertFormat(formats.get(3), SimPlatform.I420, 16, 12);
    }

    @Test
    void getFormatIsNullUnlessRunningAndThenReportsTheConnectedType() {
        mixedCamera();
        CaptureDevice d = fixture.showFirst();
        assertNull(d.getFormat());
        SimPlatform.failCall("ConnectDirect", 1, Fixture.E_FAIL);
        assertFalse(d.start(null, false));
        SimPlatform.takeErrorReports();
        assertNull(d.getFormat());
        assertTrue(d.start(new VideoFormat(0, 0, GUID.of(SimPlatform.RGB24)), false));
        assertFormat(d.getFormat(), SimPlatform.RGB24, 32, -24);
        assertTrue(d.stop());
        assertNull(d.getFormat());
    }

    @Test
    void queryFormatsOnAnIdleDeviceListsVideoInfoCapabilitiesAndStaysIdle() {
        mixedCamera();
        CaptureDevice d = fixture.showFirst();
        int before = SimPlatform.liveObjects();
        assertMixedList(d.queryFormats());
        assertFalse(d.isRunning());
        assertEquals(before, SimPlatform.liveObjects(), "the temporary graph is released");
        // The same subtype in two formats: separate blocks with equal bytes.
        List<VideoFormat> formats = d.queryFormats();
        ByteBuffer first = formats.get(0).getSubType().getBuf();
        ByteBuffer third = formats.get(2).getSubType().getBuf();
        assertNotSame(first, third);
        third.put(0, (byte) 0);
        assertEquals('Y', first.get(0));
        third.put(0, (byte) 'Y');
        // A listed format passed back to start selects that capability.
        assertTrue(d.start(formats.get(3), false));
        assertFormat(d.getFormat(), SimPlatform.I420, 16, 12);
        Fixture.assertReports();
    }

    @Test
    void queryFormatsOnARunningDeviceKeepsThePreviewRunning() {
        mixedCamera();
        CaptureDevice d = fixture.showFirst();
        assertTrue(d.start(null, false));
        int before = SimPlatform.liveObjects();
        assertMixedList(d.queryFormats());
        assertTrue(d.isRunning());
        assertEquals(before, SimPlatform.liveObjects());
        assertNotNull(d.grab(null), "frames still arrive");
    }

    @Test
    void aCameraWithOnlyVideoInfo2GivesAnEmptyList() {
        int cam = Fixture.camera("v2");
        SimPlatform.addCapability(cam, SimPlatform.RGB32, 64, 48, SimPlatform.VIDEO_INFO2, false, 0);
        CaptureDevice d = fixture.showFirst();
        List<VideoFormat> formats = d.queryFormats();
        assertNotNull(formats);
        assertTrue(formats.isEmpty());
    }

    private static final Object[][] QUERY_SITES = {
        {"CreateCaptureGraphBuilder", 675},
        {"CreateFilterGraph", 683},
        {"AddFilter", 691},
        {"SetFiltergraph", 699},
        {"FindStreamConfig", 712},
    };

    @Test
    void everyFailureSiteOnAnIdleDeviceIsReportedAndReleased() {
        mixedCamera();
        CaptureDevice d = fixture.showFirst();
        int before = SimPlatform.liveObjects();
        for (Object[] row : QUERY_SITES) {
            SimPlatform.failCall((String) row[0], 1, Fixture.E_FAIL);
            assertNull(d.queryFormats(), (String) row[0]);
            Fixture.assertReports(Fixture.site((Integer) row[1], "Unspecified error."));
            assertFalse(d.isRunning());
            assertEquals(before, SimPlatform.liveObjects(), (String) row[0]);
        }
        // A failing capability read only skips that capability.
        SimPlatform.failCall("GetStreamCaps", 2, Fixture.E_FAIL);
        List<VideoFormat> formats = d.queryFormats();
        assertEquals(4, formats.size());
        SimPlatform.failCall("GetStreamCaps", 1, Fixture.E_FAIL);
        assertEquals(3, d.queryFormats().size());
        Fixture.assertReports();
        assertEquals(before, SimPlatform.liveObjects());
    }

    @Test
    void aFailureOnARunningDeviceLeavesItsGraphAlone() {
        mixedCamera();
        CaptureDevice d = fixture.showFirst();
        assertTrue(d.start(null, false));
        SimPlatform.failCall("FindStreamConfig", 1, Fixture.UNKNOWN_CODE);
        assertNull(d.queryFormats());
        Fixture.assertReports(Fixture.site(712, "Unkown error"));
        assertTrue(d.isRunning());
        assertNotNull(d.grab(null));
    }

    @Test
    void aWrongCapabilitySizeIsReportedAtItsSite() {
        int cam = SimPlatform.addCamera("odd", null, "p", 64, 10);
        Fixture.capability(cam, SimPlatform.RGB32, 16, 16);
        CaptureDevice d = fixture.showFirst();
        int before = SimPlatform.liveObjects();
        assertNull(d.queryFormats());
        Fixture.assertReports(Fixture.site(725, "Unspecified error."));
        assertEquals(before, SimPlatform.liveObjects());
        assertTrue(d.start(null, false));
        assertNull(d.queryFormats());
        Fixture.assertReports(Fixture.site(725, "Unspecified error."));
        assertTrue(d.isRunning());
    }
}
