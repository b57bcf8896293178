package misuse.token;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.concurrent.CyclicBarrier;
import java.util.concurrent.atomic.AtomicReference;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.condition.EnabledIfEnvironmentVariable;
import qtokcom.ComFailException;
import qtokcom.SysInfo;
import qtokcom.qTokAPI;
import qtokfixture.ScriptedComponent;

/**
 * Eight threads, each with its own qTokAPI and its own pair of component objects,
 * calling at once: arrays, records, digests, failures and object churn. Each call
 * must reach the calling thread's arguments and hand back what the component
 * wrote, whatever the other threads do meanwhile.
 */
@EnabledIfEnvironmentVariable(named = "QTOK_COMPONENT_LIBRARY", matches = ".+")
class ThreadsMisuseTest extends TokenHarness {
    static final int THREADS = 8;
    static final int ITERATIONS = 300;
    static final int RENEW_EVERY = 50;
    static final int FAILURE = 0x80090001;

    @Test
    void threadsOnDistinctObjectsKeepTheirOwnArgumentsAndResults() throws Exception {
        byte[] readBytes = pattern(24, 0x11);
        byte[] digest = pattern(16, 0x99);
        byte[] sysInfo = pattern(32, 0x27);
        ScriptedComponent.capture(TOKEN, 11, 1, 4);        // OpenDevice: the pin's first bytes
        ScriptedComponent.write(TOKEN, 37, 2, readBytes);  // Read: the data
        ScriptedComponent.write(TOKEN, 37, 4, new byte[] {24, 0, 0, 0});
        ScriptedComponent.write(TOKEN, 17, 4, digest);     // MD5HMAC: the digest
        ScriptedComponent.write(TOKEN, 24, 0, sysInfo);    // GetSysInfo: the record
        ScriptedComponent.write(HASH, 7, 2, digest);       // SMD5Hash: the digest
        ScriptedComponent.capture(HASH, 7, 0, 3);
        ScriptedComponent.respond(TOKEN, 39, FAILURE);     // Decrement fails for everyone

        Map<Integer, Set<Long>> handles = new HashMap<>();
        for (int t = 0; t < THREADS; t++) handles.put(t, new HashSet<>());
        onThreads(THREADS, id -> {
            Set<Long> mine = handles.get(id);
            qTokAPI api = null;
            for (int i = 0; i < ITERATIONS; i++) {
                if (i % RENEW_EVERY == 0) {
                    if (api != null) api.Uninit();
                    api = new qTokAPI();
                    api.Init();
                    mine.add(littleEndianLong(api.handle));
                }
                byte[] pin = {(byte) id, (byte) i, (byte) (i >> 8), 0x5A, 0x00};
                api.OpenDevice(id, pin);
                assertArrayEquals(new byte[] {(byte) id, (byte) i, (byte) (i >> 8), 0x5A, 0x00}, pin);

                byte[] data = new byte[24];
                int[] count = {0};
                api.Read(id, i, data, data.length, count);
                assertArrayEquals(readBytes, data);
                assertEquals(24, count[0]);

                byte[] out = new byte[16];
                api.MD5HMAC(id, i, pin, pin.length, out);
                assertArrayEquals(digest, out);

                SysInfo info = new SysInfo();
                api.GetSysInfo(info);
                assertEquals((sysInfo[4] & 0xFF) | (sysInfo[5] & 0xFF) << 8 | (sysInfo[6] & 0xFF) << 16
                        | (sysInfo[7] & 0xFF) << 24, info.lFreeSpace);

                byte[] hashed = new byte[16];
                api.SMD5Hash(new byte[] {(byte) id, (byte) i, (byte) (i >> 8)}, 3, hashed);
                assertArrayEquals(digest, hashed);

                try {
                    api.Decrement(id, i);
                    throw new AssertionError("Decrement must fail");
                } catch (ComFailException expected) {
                    assertTrue(expected.getMessage().startsWith("ER: 0x80090001 Decrement"));
                }
                try {
                    new qTokAPI().CloseFile();
                    throw new AssertionError("a fresh object holds nothing");
                } catch (ComFailException expected) {
                    assertTrue(expected.getMessage().startsWith(NO_OBJECT + " CloseFile"));
                }
            }
            api.Uninit();
        });

        // Every thread's calls arrived with its own arguments, once each.
        List<String> log = calls();
        Map<String, Integer> counts = new HashMap<>();
        for (String line : log) counts.merge(line, 1, Integer::sum);
        for (int id = 0; id < THREADS; id++) {
            for (int i = 0; i < ITERATIONS; i++) {
                String pinLine = String.format("token.11(%d, *[%02x %02x %02x 5a])", id, id, i & 0xFF, (i >> 8) & 0xFF);
                assertEquals(1, counts.getOrDefault(pinLine, 0), pinLine);
                String hashLine = String.format("hash.7(*[%02x %02x %02x], 3, *)", id, i & 0xFF, (i >> 8) & 0xFF);
                assertEquals(1, counts.getOrDefault(hashLine, 0), hashLine);
                assertEquals(1, counts.getOrDefault("token.39(" + id + ", " + i + ")", 0));
                assertEquals(1, counts.getOrDefault("token.37(" + id + ", " + i + ", *, 24, *)", 0));
            }
        }
        int objects = THREADS * (ITERATIONS / RENEW_EVERY);
        assertEquals(objects, counts.getOrDefault("create token", 0));
        assertEquals(objects, counts.getOrDefault("create hash", 0));
        assertEquals(objects, counts.getOrDefault("token.destroyed", 0));
        assertEquals(objects, counts.getOrDefault("hash.destroyed", 0));
        for (int id = 0; id < THREADS; id++) {
            for (long h : handles.get(id)) assertNotEquals(0L, h);
        }
    }

    interface Body {
        void run(int id) throws Throwable;
    }

    /** Runs `body` on `count` threads started together; the first failure fails the test. */
    static void onThreads(int count, Body body) throws InterruptedException {
        CyclicBarrier start = new CyclicBarrier(count);
        AtomicReference<Throwable> failure = new AtomicReference<>();
        List<Thread> threads = new ArrayList<>();
        for (int t = 0; t < count; t++) {
            final int id = t;
            threads.add(new Thread(() -> {
                try {
                    start.await();
                    body.run(id);
                } catch (Throwable e) {
                    failure.compareAndSet(null, e);
                }
            }, "token-misuse-" + t));
        }
        for (Thread t : threads) t.start();
        for (Thread t : threads) t.join();
        assertNull(failure.get(), () -> "a thread failed: " + failure.get());
    }

    @Test
    void oneObjectCalledFromManyThreadsMakesOneCallAtATimeOnTheLibrarysThread() throws Exception {
        qTokAPI api = ready();
        ScriptedComponent.write(TOKEN, 37, 4, new byte[] {8, 0, 0, 0});
        onThreads(THREADS, id -> {
            for (int i = 0; i < ITERATIONS; i++) {
                byte[] data = new byte[8];
                int[] count = {0};
                api.Read(id, i, data, data.length, count);
                assertEquals(8, count[0]);
                api.CloseDevice();
                // Whichever thread calls, the component is called from the same one, not this.
                assertNotEquals(ScriptedComponent.thisThread(), ScriptedComponent.lastThread());
            }
        });
        assertEquals(1, ScriptedComponent.mostAtOnce());
        assertEquals(2 * THREADS * ITERATIONS, calls().size());
        long apartment = ScriptedComponent.lastThread();
        // Uninit from yet another thread releases the pair on that same thread.
        Thread other = new Thread(api::Uninit);
        other.start();
        other.join();
        assertEquals(List.of("hash.Release", "hash.destroyed", "token.Release", "token.destroyed"),
                calls().subList(calls().size() - 4, calls().size()));
        assertEquals(apartment, ScriptedComponent.lastThread());
    }

    @Test
    void uninitWhileOtherThreadsCallReachesNoReleasedObject() throws Exception {
        for (int round = 0; round < 20; round++) {
            qTokAPI api = ready();
            AtomicReference<Boolean> releasing = new AtomicReference<>(false);
            onThreads(5, id -> {
                if (id == 0) {
                    while (calls().size() < 20) Thread.onSpinWait();
                    releasing.set(true);
                    api.Uninit();
                    return;
                }
                for (;;) {
                    try {
                        api.CloseDevice();
                    } catch (ComFailException e) {
                        assertTrue(e.getMessage().startsWith(NO_OBJECT + " CloseDevice"), e.getMessage());
                        assertTrue(releasing.get(), "no object before Uninit");
                        return;
                    }
                }
            });
            qtokfixture.ScriptedComponent.reset();
        }
    }

    /**
     * Init racing Uninit on one object, and two Inits racing on a fresh one: whichever
     * wins, the fields name the pair the library holds for the object, and a last
     * Uninit releases everything (the harness counts the live objects).
     */
    @Test
    void lifeCycleCallsRacingOnOneObjectLeaveItsFieldsAndPairInAgreement() throws Exception {
        for (int round = 0; round < 2000; round++) {
            boolean againstUninit = round % 2 == 0;
            qTokAPI api = againstUninit ? ready() : new qTokAPI();
            onThreads(2, id -> {
                if (id == 1 && againstUninit) {
                    api.Uninit();
                } else {
                    api.Init();
                }
            });
            if (littleEndianLong(api.handle) == 0) {
                assertArrayEquals(new byte[8], api.hash);
                continue;  // Uninit came second: nothing is left to release
            }
            api.CloseDevice();
            api.SMD5Hash(new byte[] {1}, 1, new byte[16]);
            api.Uninit();
            ScriptedComponent.reset();
        }
    }

    static long littleEndianLong(byte[] b) {
        long v = 0;
        for (int i = 7; i >= 0; i--) v = (v << 8) | (b[i] & 0xFF);
        return v;
    }
}
