package lumotool.camgripper;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;

import lumotool.camgripper.sim.SimPlatform;
import org.junit.jupiter.api.Test;

class ListingTest extends CameraTestBase {
    @Test
    void noCamerasGiveAnEmptyListNotNull() {
        List<CaptureDevice> listed = fixture.list();
        assertNotNull(listed);
        assertTrue(listed.isEmpty());
        // A failing system enumerator also gives an empty list.
        Fixture.capability(Fixture.camera("cam"), SimPlatform.RGB32, 8, 8);
        SimPlatform.failCall("CreateSystemDeviceEnum", 1, Fixture.E_FAIL);
        assertTrue(fixture.list().isEmpty());
        SimPlatform.failCall("CreateVideoInputEnum", 1, Fixture.E_FAIL);
        assertTrue(fixture.list().isEmpty());
        Fixture.assertReports();
    }

    @Test
    void listsEveryCameraInOrderWithItsProperties() {
        Fixture.capability(Fixture.camera("first"), SimPlatform.RGB32, 8, 8);
        int second = SimPlatform.addCamera("second", null, "\\\\?\\sim#second", 128, 10);
        Fixture.capability(second, SimPlatform.YUY2, 8, 8);
        List<CaptureDevice> listed = fixture.list();
        assertEquals(2, listed.size());
        // Description is read first but passed second.
        assertEquals("first", listed.get(0).getFriendlyName());
        assertEquals("first description", listed.get(0).getDescription());
        assertEquals("\\\\?\\sim#first", listed.get(0).getDevicePath());
        assertEquals("second", listed.get(1).getFriendlyName());
        assertNull(listed.get(1).getDescription(), "missing Description passed as null");
        assertEquals("\\\\?\\sim#second", listed.get(1).getDevicePath());
        assertNotEquals(0, listed.get(0).getHandle());
        assertNotEquals(0, listed.get(1).getHandle());
        assertNotEquals(listed.get(0).getHandle(), listed.get(1).getHandle());
        // A device is released by destroy, shown or not: a client that lists the
        // cameras again and again to fill a picker keeps nothing of them.
        fixture.show(listed.get(1));
        for (int round = 0; round < 10; round++) {
            for (CaptureDevice d : round == 0 ? listed : fixture.list()) {
                assertTrue(d.destroy());
                assertEquals(0, d.getHandle());
            }
        }
        assertEquals(0, SimPlatform.liveObjects(), "every listed source filter released");
    }

    /**
     * A client that refreshes its camera list and drops the old one without destroy:
     * the devices the JVM collected, shown or not, are released by the next listing.
     */
    @Test
    void listingsDroppedWithoutDestroyAreReleasedByTheNextListing() throws Exception {
        Fixture.capability(Fixture.camera("first"), SimPlatform.RGB32, 8, 8);
        Fixture.capability(Fixture.camera("second"), SimPlatform.RGB32, 8, 8);
        java.lang.ref.WeakReference<CaptureDevice> shown = new java.lang.ref.WeakReference<>(fixture.list().get(0));
        fixture.show(shown.get());
        fixture.frame.remove(shown.get());
        fixture.devices.clear();
        for (int round = 0; round < 1000; round++) {
            CaptureDevice.enumDevices();
        }
        for (int i = 0; i < 100 && shown.get() != null; i++) {
            System.gc();
            Thread.sleep(10);
        }
        assertNull(shown.get(), "the JVM collects the dropped devices");
        List<CaptureDevice> kept = fixture.list();
        assertEquals(2, SimPlatform.liveObjects(), "only the last listing's source filters are live");
        assertTrue(kept.get(0).start(null, false), "what the last listing handed out still works");
    }

    @Test
    void twoListingsGiveSeparateDevicesThatAreDestroyedOnTheirOwn() {
        Fixture.capability(Fixture.camera("cam"), SimPlatform.RGB32, 16, 12);
        CaptureDevice a = fixture.list().get(0);
        CaptureDevice b = fixture.list().get(0);
        assertNotEquals(a.getHandle(), b.getHandle());
        fixture.show(a, b);
        assertTrue(a.start(null, false));
        assertTrue(a.destroy());
        assertEquals(0, a.getHandle());
        // The other object's device is untouched and still usable.
        assertTrue(b.start(null, false));
        assertTrue(b.isRunning());
        assertTrue(b.destroy());
        assertFalse(b.destroy());
    }

    @Test
    void devicesWhoseBindingFailsAreLeftOut() {
        for (String name : new String[] {"a", "b", "c"}) {
            Fixture.capability(Fixture.camera(name), SimPlatform.RGB32, 8, 8);
        }
        SimPlatform.failCall("BindToFilter", 1, Fixture.E_FAIL);
        SimPlatform.failCall("BindToPropertyBag", 3, Fixture.E_FAIL);
        List<CaptureDevice> listed = fixture.list();
        assertEquals(1, listed.size());
        assertEquals("b", listed.get(0).getFriendlyName());
        // An unreadable property only makes that argument null.
        SimPlatform.failCall("ReadStringProperty", 2, Fixture.E_FAIL);
        List<CaptureDevice> again = fixture.list();
        assertEquals(3, again.size());
        assertNull(again.get(0).getFriendlyName());
        assertEquals("a description", again.get(0).getDescription());
        fixture.show(listed.get(0), again.get(0), again.get(1), again.get(2));
    }

    @Test
    void aThrowingConstructorStopsTheListingWithTheExceptionPending() {
        Fixture.capability(Fixture.camera("a"), SimPlatform.RGB32, 8, 8);
        Fixture.capability(Fixture.camera("b"), SimPlatform.RGB32, 8, 8);
        Fixture.capability(Fixture.camera("c"), SimPlatform.RGB32, 8, 8);
        // Throwing on the first, second and third device: a listing that fails gives
        // back every source filter it took, those of the devices already made too.
        for (int before = 0; before < 3; before++) {
            IllegalStateException failure = new IllegalStateException("no device for you");
            CaptureDevice.constructionsBeforeFailure = before;
            CaptureDevice.nextConstructionFailure = failure;
            IllegalStateException thrown = assertThrows(IllegalStateException.class, CaptureDevice::enumDevices);
            assertSame(failure, thrown);
            assertEquals(0, SimPlatform.liveObjects(), "throwing after " + before + " devices");
        }
        assertEquals(3, fixture.list().size());
        fixture.show(fixture.devices.toArray(new CaptureDevice[0]));
    }

    /** A C++ exception inside a native (a failed allocation) is that method's failure. */
    @Test
    void anExceptionInsideTheLibraryIsAnOrdinaryFailure() {
        Fixture.capability(Fixture.camera("a"), SimPlatform.RGB32, 8, 8);
        Fixture.capability(Fixture.camera("b"), SimPlatform.RGB32, 8, 8);
        SimPlatform.failCall("BindToFilter", 2, SimPlatform.THROWS_BAD_ALLOC);
        assertNull(CaptureDevice.enumDevices());
        assertEquals(0, SimPlatform.liveObjects(), "the first device's filter went back");
        List<CaptureDevice> listed = fixture.list();
        fixture.show(listed.toArray(new CaptureDevice[0]));
        CaptureDevice d = listed.get(0);
        SimPlatform.failCall("CreateFilterGraph", 1, SimPlatform.THROWS_BAD_ALLOC);
        assertFalse(d.start(null, false));
        SimPlatform.failCall("GetStreamCaps", 1, SimPlatform.THROWS_BAD_ALLOC);
        assertNull(d.queryFormats());
        // Every operation of a build (with a format to choose), of the fit and of a
        // stop: start is true exactly when the device runs, and nothing is left.
        final int idle = SimPlatform.liveObjects();
        VideoFormat wanted = new VideoFormat(8, 8, GUID.of(SimPlatform.RGB32));
        String[][] operations = {{"CreateCaptureGraphBuilder", "1"}, {"CreateFilterGraph", "1"}, {"AddFilter", "1"},
            {"SetFiltergraph", "1"}, {"CreateVideoRenderer", "1"}, {"AddFilter", "2"}, {"QueryRendererConfig", "1"},
            {"SetRenderingMode", "1"}, {"QueryWindowlessControl", "1"}, {"SetVideoClippingWindow", "1"},
            {"FindStreamConfig", "1"}, {"GetNumberOfCapabilities", "1"}, {"GetStreamCaps", "1"}, {"SetFormat", "1"},
            {"CreateVideoFilter", "1"}, {"AddFilter", "3"}, {"FindPin", "1"}, {"FindPin", "2"}, {"ConnectDirect", "1"},
            {"RenderStream", "1"}, {"QueryMediaControl", "1"}, {"Run", "1"}, {"GetNativeVideoSize", "1"},
            {"SetVideoPosition", "1"}, {"Stop", "1"}};
        for (String[] operation : operations) {
            SimPlatform.clearFailures();
            SimPlatform.failCall(operation[0], Integer.parseInt(operation[1]), SimPlatform.THROWS_BAD_ALLOC);
            String what = operation[0] + " #" + operation[1];
            assertEquals(d.start(wanted, false), d.isRunning(), what);
            assertTrue(d.stop(), what);
            assertFalse(d.isRunning(), what);
            assertEquals(idle, SimPlatform.liveObjects(), what + ": objects left");
        }
        SimPlatform.clearFailures();
        assertTrue(d.start(null, false));
        SimPlatform.failCall("RepaintVideo", 1, SimPlatform.THROWS_BAD_ALLOC);
        d.paint(null);
        assertTrue(d.destroy());
        Fixture.assertReports();
    }
}
