package lumotool.camgripper;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.ByteBuffer;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.CyclicBarrier;
import java.util.concurrent.atomic.AtomicReference;

import lumotool.camgripper.sim.SimPlatform;
import org.junit.jupiter.api.Test;

/**
 * Eight threads, each driving its own camera at once. COM is as Windows keeps it:
 * the library enters it once, on the thread of the first listing, and only that
 * thread can create the graph objects. So the graph changes of every device run
 * there, in rounds, while eight other threads use their own running (or stopped)
 * device at the same time: formats, grabs, the running state, paint. Each camera has
 * a size of its own, so a call that reached another thread's device shows in the
 * sizes it reports.
 */
class ThreadsMisuseTest extends CameraTestBase {
    private static final int THREADS = 8;
    private static final int ROUNDS = 30;

    @Override
    protected void cameras() {
        for (int t = 0; t < THREADS; t++) {
            int cam = SimPlatform.addCamera("cam" + t, null, "path" + t, 128, 2);
            Fixture.capability(cam, SimPlatform.RGB32, width(t), height(t));
            Fixture.capability(cam, SimPlatform.YUY2, width(t), height(t));
        }
    }

    private static int width(int t) {
        return 8 + 2 * t;
    }

    private static int height(int t) {
        return 6 + t;
    }

    private static void assertFrame(ByteBuffer frame, int size, String where) {
        int first = frame.get(0) & 0xFF;
        for (int i = 0; i < size; i++) {
            assertEquals((first + i) & 0xFF, frame.get(i) & 0xFF, where + " byte " + i);
        }
    }

    @Test
    void threadsOnDistinctDevicesEachSeeOnlyTheirOwnCamera() throws Exception {
        List<CaptureDevice> devices = fixture.list();
        assertEquals(THREADS, devices.size());
        fixture.show(devices.toArray(new CaptureDevice[0]));
        CyclicBarrier started = new CyclicBarrier(THREADS + 1);
        CyclicBarrier checked = new CyclicBarrier(THREADS + 1);
        AtomicReference<Throwable> failure = new AtomicReference<>();
        List<Thread> threads = new ArrayList<>();
        for (int t = 0; t < THREADS; t++) {
            final int id = t;
            final CaptureDevice d = devices.get(t);
            threads.add(new Thread(() -> {
                try {
                    assertEquals("cam" + id, d.getFriendlyName());
                    int w = width(id), h = height(id);
                    ByteBuffer buffer = null;
                    for (int round = 0; round < ROUNDS; round++) {
                        String where = "thread " + id + " round " + round;
                        boolean yuy2 = round % 2 == 1;
                        started.await();
                        assertTrue(d.isRunning(), where);
                        VideoFormat f = d.getFormat();
                        assertEquals(w, f.getWidth(), where);
                        assertEquals(h, f.getHeight(), where);
                        assertArrayEquals(yuy2 ? SimPlatform.YUY2 : SimPlatform.RGB32, f.getSubType().bytes(), where);
                        int frame = w * h * (yuy2 ? 2 : 4);
                        ByteBuffer got = d.grab(buffer);
                        assertTrue(got.capacity() >= frame, where + ": the frame fits");
                        assertFrame(got, frame, where);
                        buffer = got;
                        // A running device answers through its own graph: no creation.
                        assertEquals(2, d.queryFormats().size(), where);
                        d.paint(null);
                        checked.await();
                    }
                } catch (Throwable e) {
                    failure.compareAndSet(null, e);
                    started.reset();
                    checked.reset();
                }
            }, "camgrip-misuse-" + t));
        }
        for (Thread t : threads) t.start();
        try {
            for (int round = 0; round < ROUNDS && failure.get() == null; round++) {
                boolean yuy2 = round % 2 == 1;
                for (int t = 0; t < THREADS; t++) {
                    VideoFormat wanted = new VideoFormat(width(t), height(t), GUID.of(yuy2 ? SimPlatform.YUY2 : SimPlatform.RGB32));
                    assertTrue(devices.get(t).start(wanted, round % 3 == 0), "start " + t + " round " + round);
                }
                started.await();
                checked.await();
                for (CaptureDevice d : devices) {
                    assertTrue(d.stop());
                    assertFalse(d.isRunning());
                    assertNull(d.grab(null));
                }
            }
        } catch (java.util.concurrent.BrokenBarrierException e) {
            // a worker failed: its failure is reported below
        }
        for (Thread t : threads) t.join();
        assertNull(failure.get(), () -> "a thread failed: " + failure.get());
        for (CaptureDevice d : devices) {
            assertTrue(d.start(null, true));
            assertTrue(d.destroy());
            assertEquals(0, d.getHandle());
            assertFalse(d.destroy());
        }
        Fixture.assertReports();
        assertEquals(0, SimPlatform.liveObjects(), "every device's graph and filter released");
    }

    /**
     * Listings from threads of their own (each enters COM for itself) beside the
     * listings of this thread hand out distinct handles, which eight threads then
     * destroy all at once, unshown.
     */
    @Test
    void concurrentListingsHandOutDistinctHandlesThatAreDestroyedConcurrently() throws Exception {
        final int listings = 5;
        fixture.list();
        CyclicBarrier start = new CyclicBarrier(THREADS + 1);
        AtomicReference<Throwable> failure = new AtomicReference<>();
        List<List<CaptureDevice>> perListing = java.util.Collections.synchronizedList(new ArrayList<>());
        List<Thread> threads = new ArrayList<>();
        for (int t = 0; t < THREADS; t++) {
            threads.add(new Thread(() -> {
                try {
                    start.await();
                    for (int i = 0; i < listings; i++) {
                        List<CaptureDevice> listed = CaptureDevice.enumDevices();
                        assertEquals(THREADS, listed.size(), "a listing of a thread of its own");
                        perListing.add(listed);
                    }
                } catch (Throwable e) {
                    failure.compareAndSet(null, e);
                }
            }));
        }
        for (Thread t : threads) t.start();
        start.await();
        for (int i = 0; i < THREADS; i++) {
            List<CaptureDevice> listed = CaptureDevice.enumDevices();
            assertEquals(THREADS, listed.size());
            for (int k = 0; k < THREADS; k++) {
                assertEquals("cam" + k, listed.get(k).getFriendlyName());
            }
            perListing.add(listed);
        }
        for (Thread t : threads) t.join();
        assertNull(failure.get(), () -> "a listing failed: " + failure.get());

        List<CaptureDevice> all = new ArrayList<>(fixture.devices);
        perListing.forEach(all::addAll);
        perListing.forEach(fixture.devices::addAll);
        assertEquals(all.size(), all.stream().mapToInt(CaptureDevice::getHandle).distinct().count(),
                "every listed device has a handle of its own");
        assertTrue(all.stream().allMatch(d -> d.getHandle() != 0));

        // Eight threads destroy the devices of every eighth listing, all at once.
        List<Thread> destroyers = new ArrayList<>();
        CyclicBarrier go = new CyclicBarrier(THREADS);
        for (int t = 0; t < THREADS; t++) {
            final int first = t;
            destroyers.add(new Thread(() -> {
                try {
                    go.await();
                    for (int i = first; i < perListing.size(); i += THREADS) {
                      for (CaptureDevice d : perListing.get(i)) {
                        assertTrue(d.destroy());
                        assertEquals(0, d.getHandle());
                      }
                    }
                } catch (Throwable e) {
                    failure.compareAndSet(null, e);
                }
            }));
        }
        for (Thread t : destroyers) t.start();
        for (Thread t : destroyers) t.join();
        assertNull(failure.get(), () -> "a destroy failed: " + failure.get());
        fixture.close();
        assertEquals(0, SimPlatform.liveObjects(), "every source filter released");
        Fixture.assertReports();
    }
}
