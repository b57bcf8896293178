package lumotool.camgripper;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;

import java.awt.EventQueue;
import java.nio.ByteBuffer;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.concurrent.atomic.AtomicReference;

import lumotool.camgripper.sim.SimPlatform;
import org.junit.jupiter.api.Test;

/**
 * AWT paints and lays out canvases on its own thread whenever it likes, so the
 * canvas calls must be safe against a client thread that starts, stops and
 * destroys the device at the same time.
 */
class ConcurrencyTest extends CameraTestBase {
    @Override
    protected void cameras() {
        int cam = SimPlatform.addCamera("cam", null, "p", 128, 2);
        Fixture.capability(cam, SimPlatform.RGB32, 16, 12);
        Fixture.capability(cam, SimPlatform.YUY2, 32, 24);
    }

    @Test
    void canvasCallsRaceGraphChangesAndDestroySafely() throws InterruptedException {
        CaptureDevice d = fixture.showFirst();
        AtomicBoolean stop = new AtomicBoolean(false);
        AtomicReference<Throwable> failure = new AtomicReference<>();
        Thread canvasSide = new Thread(() -> {
            try {
                ByteBuffer buffer = null;
                for (int i = 0; !stop.get(); i++) {
                    d.paint(null);
                    d.setBounds(0, 0, 100 + i % 60, 80 + i % 40);
                    d.isRunning();
                    VideoFormat f = d.getFormat();
                    if (f != null) {
                        f.getSubType().bytes();
                    }
                    if (i % 16 == 0) {
                        ByteBuffer got = d.grab(buffer);
                        buffer = got != null ? got : buffer;
                    }
                }
            } catch (Throwable t) {
                failure.set(t);
            }
        });
        canvasSide.start();
        for (int round = 0; round < 150; round++) {
            assertTrue(d.start(round % 2 == 0 ? null : new VideoFormat(32, 24, null), round % 3 == 0));
            if (round % 5 == 0) {
                assertEquals(2, d.queryFormats().size());
            }
            assertTrue(d.stop());
            if (round % 7 == 0) {
                assertEquals(2, d.queryFormats().size());
            }
        }
        assertTrue(d.start(null, true));
        assertTrue(d.destroy());
        // Calls after the destroy find no device; the canvas still moves.
        Thread.sleep(50);
        stop.set(true);
        canvasSide.join();
        assertNull(failure.get());
        assertFalse(d.isRunning());
        assertNull(d.grab(null));
        Fixture.assertReports();
    }

    /**
     * A client format whose getter waits for the canvas to repaint and move on AWT's
     * thread: start asks it while it builds the graph, and paint and setBounds must
     * not wait for that build. The size set meanwhile is the one the video gets. A
     * getter that calls back into the device gets that call's failure at once on
     * start's own thread; a stop from AWT's waits the turn's bound and is left to
     * start, which carries it out as it ends.
     */
    @Test
    void aFormatGetterWaitingForTheCanvasDoesNotDeadlockStart() {
        CaptureDevice d = fixture.showFirst();
        AtomicInteger asked = new AtomicInteger();
        AtomicInteger repainted = new AtomicInteger();
        AtomicReference<String> callbacks = new AtomicReference<>();
        VideoFormat waiting = new VideoFormat(32, 24, null) {
            @Override
            public int getWidth() {
                final boolean first = asked.incrementAndGet() == 1;
                AtomicBoolean stoppedFromAwt = new AtomicBoolean();
                CountDownLatch done = new CountDownLatch(1);
                EventQueue.invokeLater(() -> {
                    d.paint(null);
                    d.setBounds(0, 0, 90, 70);
                    stoppedFromAwt.set(first && d.stop());
                    done.countDown();
                });
                try {
                    if (done.await(10, TimeUnit.SECONDS)) {
                        repainted.incrementAndGet();
                    }
                } catch (InterruptedException e) {
                    Thread.currentThread().interrupt();
                }
                if (first) {
                    callbacks.set(d.stop() + " " + d.queryFormats() + " " + stoppedFromAwt.get());
                }
                return super.getWidth();
            }
        };
        // The stop from AWT ran as the start's turn ended: the start says it does not run.
        assertFalse(d.start(waiting, false));
        assertTrue(asked.get() > 0);
        assertEquals(asked.get(), repainted.get(), "the canvas repainted each time start asked");
        assertEquals("false null true", callbacks.get(), "stop, queryFormats, stop from AWT");
        assertFalse(d.isRunning(), "the stop from AWT was carried out");
        assertArrayEquals(new int[] {0, 0, 32, 24, 0, 0, 90, 70}, SimPlatform.lastVideoPosition());
        assertTrue(d.stop());
        Fixture.assertReports();
    }

    /** Threads of a client's own list, start and ask for formats: each enters COM for itself. */
    @Test
    void graphCallsWorkFromAnyThread() throws Exception {
        CaptureDevice d = fixture.showFirst();
        AtomicReference<String> seen = new AtomicReference<>();
        Thread other = new Thread(() -> {
            java.util.List<CaptureDevice> listed = CaptureDevice.enumDevices();
            seen.set(listed.size() + " " + d.queryFormats().size() + " " + d.start(null, false) + " "
                    + listed.get(0).destroy());
        });
        other.start();
        other.join();
        assertEquals("1 2 true true", seen.get());
        assertTrue(d.isRunning());
        Fixture.assertReports();
    }

    /** A destroy that meets a start holding the turn past its bound is not lost. */
    @Test
    void aDestroyWhileAStartHoldsTheTurnIsCarriedOutWhenTheStartEnds() throws Exception {
        CaptureDevice d = fixture.showFirst();
        CountDownLatch asked = new CountDownLatch(1);
        VideoFormat slow = new VideoFormat(32, 24, null) {
            @Override
            public int getWidth() {
                asked.countDown();
                try {
                    Thread.sleep(6500);
                } catch (InterruptedException e) {
                    Thread.currentThread().interrupt();
                }
                return super.getWidth();
            }
        };
        AtomicBoolean started = new AtomicBoolean();
        Thread starter = new Thread(() -> started.set(d.start(slow, false)));
        starter.start();
        assertTrue(asked.await(5, TimeUnit.SECONDS));
        assertTrue(d.destroy(), "handed to the start");
        assertEquals(0, d.getHandle());
        starter.join();
        assertFalse(started.get(), "the start ended in the destroy");
        assertFalse(d.isRunning());
        assertEquals(0, SimPlatform.liveObjects(), "graph and source filter released");
    }

    /** setBounds racing the end of start: the video gets the size set last. */
    @Test
    void theLastSizeSetWinsOverTheEndOfStart() throws Exception {
        CaptureDevice d = fixture.showFirst();
        for (int round = 0; round < 200; round++) {
            final int w = 100 + round % 50;
            final int h = 80 + round % 30;
            final int spins = (round * 37) % 2000;
            java.util.concurrent.CyclicBarrier go = new java.util.concurrent.CyclicBarrier(2);
            Thread mover = new Thread(() -> {
                try {
                    go.await();
                    for (int spin = 0; spin < spins; spin++) {
                        Thread.onSpinWait();
                    }
                    d.setBounds(0, 0, w, h);
                } catch (Exception e) {
                    throw new IllegalStateException(e);
                }
            });
            mover.start();
            go.await();
            assertTrue(d.start(null, false));
            mover.join();
            int[] position = SimPlatform.lastVideoPosition();
            assertArrayEquals(new int[] {w, h}, new int[] {position[6], position[7]}, "round " + round);
            assertTrue(d.stop());
        }
        Fixture.assertReports();
    }

    /**
     * A start racing a destroy of the same, never used handle: the device is either
     * started and then destroyed, or destroyed and then not started; a destroyed
     * handle never gets a record (and a graph) again.
     */
    @Test
    void aCallRacingDestroyNeverBringsTheDeviceBack() throws Exception {
        CaptureDevice canvas = fixture.showFirst();
        java.lang.reflect.Field handle = CaptureDevice.class.getDeclaredField("pSrcFilter");
        handle.setAccessible(true);
        final int own = canvas.getHandle();
        final int live = SimPlatform.liveObjects();
        for (int round = 0; round < 60; round++) {
            CaptureDevice listed = CaptureDevice.enumDevices().get(0);
            handle.setInt(canvas, listed.getHandle());
            java.util.concurrent.CyclicBarrier go = new java.util.concurrent.CyclicBarrier(2);
            AtomicReference<Throwable> failure = new AtomicReference<>();
            Thread destroyer = new Thread(() -> {
                try {
                    go.await();
                    canvas.destroy();
                } catch (Throwable t) {
                    failure.set(t);
                }
            });
            destroyer.start();
            go.await();
            canvas.start(null, false);
            destroyer.join();
            assertNull(failure.get());
            assertEquals(0, canvas.getHandle());
            handle.setInt(canvas, listed.getHandle());
            assertFalse(canvas.isRunning());
            assertEquals(live, SimPlatform.liveObjects(), "round " + round + ": the destroyed device holds nothing");
        }
        handle.setInt(canvas, own);
        Fixture.assertReports();
    }
}
