package lumotool.camgripper;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;

import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.CyclicBarrier;
import java.util.concurrent.atomic.AtomicReference;

import lumotool.camgripper.sim.SimPlatform;
import org.junit.jupiter.api.Test;

/**
 * The first listings of a process, made by eight threads at once (this JVM makes
 * no other), each thread listing twice: every thread enters COM for itself, once,
 * however the threads meet.
 */
class FirstListingMisuseTest {
    @Test
    void concurrentFirstListingsEnterComOncePerThread() throws Exception {
        final int threads = 8;
        assertEquals(0, SimPlatform.comInitializations(), "no listing before this test");
        CyclicBarrier start = new CyclicBarrier(threads);
        AtomicReference<Throwable> failure = new AtomicReference<>();
        List<Thread> listing = new ArrayList<>();
        for (int t = 0; t < threads; t++) {
            listing.add(new Thread(() -> {
                try {
                    start.await();
                    CaptureDevice.enumDevices();
                    CaptureDevice.enumDevices();
                } catch (Throwable e) {
                    failure.compareAndSet(null, e);
                }
            }));
        }
        for (Thread t : listing) t.start();
        for (Thread t : listing) t.join();
        assertNull(failure.get());
        assertEquals(threads, SimPlatform.comInitializations());
    }
}
