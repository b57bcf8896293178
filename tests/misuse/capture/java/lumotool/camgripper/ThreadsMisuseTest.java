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
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;

/**
 * Eight threads, each driving its own camera through start, grab, formats, stop
 * and finally destroy, all at once. Each camera has a size of its own, so a call
 * that reached another thread's device shows in the sizes it reports.
 */
class ThreadsMisuseTest {
    private static final int THREADS = 8;
    private static final int ROUNDS = 30;

    private Fixture fixture;

    @BeforeEach
    void setUp() {
        SimPlatform.reset();
        fixture = new Fixture();
        for (int t = 0; t < THREADS; t++) {
            int cam = SimPlatform.addCamera("cam" + t, null, "path" + t, 128, 2);
            Fixture.capability(cam, SimPlatform.RGB32, width(t), height(t));
            Fixture.capability(cam, SimPlatform.YUY2, width(t), height(t));
        }
    }

    @AfterEach
    void tearDown() {
        fixture.close();
        SimPlatform.reset();
        assertEquals(0, SimPlatform.liveObjects(), "platform objects left behind");
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
    void threadsOnDistinctDevicesEachSeeOnlyTheirOwnCamera() throws InterruptedException {
        List<CaptureDevice> devices = fixture.list();
        assertEquals(THREADS, devices.size());
        fixture.show(devices.toArray(new CaptureDevice[0]));
        CyclicBarrier start = new CyclicBarrier(THREADS);
        AtomicReference<Throwable> failure = new AtomicReference<>();
        List<Thread> threads = new ArrayList<>();
        for (int t = 0; t < THREADS; t++) {
            final int id = t;
            final CaptureDevice d = devices.get(t);
            threads.add(new Thread(() -> {
                try {
                    assertEquals("cam" + id, d.getFriendlyName());
                    int w = width(id), h = height(id);
                    start.await();
                    ByteBuffer buffer = null;
                    for (int round = 0; round < ROUNDS; round++) {
                        String where = "thread " + id + " round " + round;
                        boolean yuy2 = round % 2 == 1;
                        VideoFormat wanted = new VideoFormat(w, h, GUID.of(yuy2 ? SimPlatform.YUY2 : SimPlatform.RGB32));
                        assertTrue(d.start(wanted, round % 3 == 0), where);
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
                        assertEquals(2, d.queryFormats().size(), where);
                        assertTrue(d.stop(), where);
                        assertFalse(d.isRunning(), where);
                        assertNull(d.grab(buffer), where);
                        if (round % 5 == 0) {
                            List<VideoFormat> idle = d.queryFormats();
                            assertEquals(2, idle.size(), where);
                            assertEquals(w, idle.get(1).getWidth(), where);
                            assertEquals(h, idle.get(1).getHeight(), where);
                        }
                    }
                    assertTrue(d.start(null, true));
                    assertTrue(d.destroy());
                    assertEquals(0, d.getHandle());
                    assertFalse(d.destroy());
                } catch (Throwable e) {
                    failure.compareAndSet(null, e);
                }
            }, "camgrip-misuse-" + t));
        }
        for (Thread t : threads) t.start();
        for (Thread t : threads) t.join();
        assertNull(failure.get(), () -> "a thread failed: " + failure.get());
        Fixture.assertReports();
        assertEquals(0, SimPlatform.liveObjects(), "every device's graph and filter released");
    }

    @Test
    void concurrentListingsHandOutDistinctHandlesThatAreDestroyedConcurrently() throws Exception {
        final int listings = 5;
        CyclicBarrier start = new CyclicBarrier(THREADS);
        AtomicReference<Throwable> failure = new AtomicReference<>();
        List<List<CaptureDevice>> perThread = new ArrayList<>();
        List<Thread> threads = new ArrayList<>();
        for (int t = 0; t < THREADS; t++) {
            List<CaptureDevice> mine = new ArrayList<>();
            perThread.add(mine);
            threads.add(new Thread(() -> {
                try {
                    start.await();
                    for (int i = 0; i < listings; i++) {
                        List<CaptureDevice> listed = CaptureDevice.enumDevices();
                        assertEquals(THREADS, listed.size());
                        for (int k = 0; k < THREADS; k++) {
                            assertEquals("cam" + k, listed.get(k).getFriendlyName());
                        }
                        mine.addAll(listed);
                    }
                } catch (Throwable e) {
                    failure.compareAndSet(null, e);
                }
            }));
        }
        for (Thread t : threads) t.start();
        for (Thread t : threads) t.join();
        assertNull(failure.get(), () -> "a listing failed: " + failure.get());

        List<CaptureDevice> all = new ArrayList<>();
        perThread.forEach(all::addAll);
        assertEquals(THREADS * listings * THREADS, all.size());
        assertEquals(all.size(), all.stream().mapToInt(CaptureDevice::getHandle).distinct().count(),
                "every listed device has a handle of its own");
        assertTrue(all.stream().allMatch(d -> d.getHandle() != 0));
        fixture.devices.addAll(all);
        for (CaptureDevice d : all) {
            d.setPreferredSize(new java.awt.Dimension(4, 4));
            fixture.frame.add(d);
        }
        fixture.frame.pack();
        fixture.frame.setVisible(true);
        fixture.settle();

        // Each thread destroys the devices of one listing thread, all at once.
        List<Thread> destroyers = new ArrayList<>();
        CyclicBarrier go = new CyclicBarrier(THREADS);
        for (List<CaptureDevice> mine : perThread) {
            destroyers.add(new Thread(() -> {
                try {
                    go.await();
                    for (CaptureDevice d : mine) {
                        assertTrue(d.destroy());
                        assertEquals(0, d.getHandle());
                    }
                } catch (Throwable e) {
                    failure.compareAndSet(null, e);
                }
            }));
        }
        for (Thread t : destroyers) t.start();
        for (Thread t : destroyers) t.join();
        assertNull(failure.get(), () -> "a destroy failed: " + failure.get());
        assertEquals(0, SimPlatform.liveObjects(), "every source filter released");
        Fixture.assertReports();
    }
}
