import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.CyclicBarrier;
import qtokcom.qTokAPI;
import qtokfixture.ScriptedComponent;

/**
 * Time of one trivial call (CloseDevice) through QTOKJNI against the scripted
 * component: from one thread, and from eight threads on eight objects at once; the
 * component called straight from Java is the yardstick; one thread and eight take
 * turns for a few rounds. Prints calls/s, median and 99th percentile per call, and
 * whether the targets are met.
 */
public final class TokenCallBench {
    static final int CALLS = Integer.getInteger("calls", 200_000);
    static final int THREADS = 8;
    static final int ROUNDS = Integer.getInteger("rounds", 5);

    interface Call {
        void run();
    }

    /** Per-call times in ns of `calls` calls, after a warm-up of a tenth as many. */
    static long[] time(Call call, int calls) {
        for (int i = 0; i < calls / 10; i++) call.run();
        long[] times = new long[calls];
        for (int i = 0; i < calls; i++) {
            long start = System.nanoTime();
            call.run();
            times[i] = System.nanoTime() - start;
            // The component logs every call: keep its log short.
            if ((i & 0xFFF) == 0 && Thread.currentThread().getName().equals("main")) ScriptedComponent.reset();
        }
        return times;
    }

    static final class Result {
        final String what;
        final long[] times;
        final double callsPerSecond;

        Result(String what, long[] times, double seconds) {
            this.what = what;
            this.times = times.clone();
            Arrays.sort(this.times);
            this.callsPerSecond = times.length / seconds;
        }

        double median() {
            return times[times.length / 2] / 1000.0;
        }

        double p99() {
            return times[(int) (times.length * 0.99)] / 1000.0;
        }

        void print() {
            System.out.printf("%-38s %12.0f calls/s   median %7.2f us   p99 %7.2f us%n", what, callsPerSecond, median(),
                    p99());
        }
    }

    /** The round of median calls/s. */
    static Result medianRound(List<Result> rounds) {
        List<Result> sorted = new ArrayList<>(rounds);
        sorted.sort((a, b) -> Double.compare(a.callsPerSecond, b.callsPerSecond));
        return sorted.get(sorted.size() / 2);
    }

    static Result oneThread(String what, Call call) {
        long start = System.nanoTime();
        long[] times = time(call, CALLS);
        return new Result(what, times, (System.nanoTime() - start) / 1e9 / 1.1);
    }

    static Result threads(String what, List<qTokAPI> apis) throws Exception {
        int each = CALLS / THREADS;
        long[][] times = new long[THREADS][];
        CyclicBarrier start = new CyclicBarrier(THREADS + 1);
        CyclicBarrier end = new CyclicBarrier(THREADS + 1);
        List<Thread> running = new ArrayList<>();
        for (int t = 0; t < THREADS; t++) {
            final int id = t;
            Thread thread = new Thread(() -> {
                try {
                    qTokAPI api = apis.get(id);
                    for (int i = 0; i < each / 10; i++) api.CloseDevice();
                    start.await();
                    times[id] = time(api::CloseDevice, each);
                    end.await();
                } catch (Exception e) {
                    throw new RuntimeException(e);
                }
            }, "bench-" + t);
            thread.start();
            running.add(thread);
        }
        start.await();
        long began = System.nanoTime();
        // The log is kept short from here while the threads call.
        Thread resetter = new Thread(() -> {
            while (!Thread.currentThread().isInterrupted()) {
                ScriptedComponent.reset();
                try {
                    Thread.sleep(5);
                } catch (InterruptedException e) {
                    return;
                }
            }
        });
        resetter.start();
        end.await();
        double seconds = (System.nanoTime() - began) / 1e9 / 1.1;
        resetter.interrupt();
        resetter.join();
        for (Thread t : running) t.join();
        long[] all = new long[each * THREADS];
        for (int t = 0; t < THREADS; t++) System.arraycopy(times[t], 0, all, t * each, each);
        return new Result(what, all, seconds);
    }

    public static void main(String[] args) throws Exception {
        qTokAPI api = new qTokAPI();
        api.Init();
        long object = ScriptedComponent.lastObject(ScriptedComponent.TOKEN);
        Result direct = oneThread("component called directly, 1 thread", () -> ScriptedComponent.closeDeviceDirectly(object));
        oneThread("warm-up", api::CloseDevice);  // the JIT's work on the way is not measured
        Result one = oneThread("QTOKJNI, 1 thread", api::CloseDevice);
        List<qTokAPI> apis = new ArrayList<>();
        for (int t = 0; t < THREADS; t++) {
            qTokAPI a = new qTokAPI();
            a.Init();
            apis.add(a);
        }
        // Ten thousand live objects beside them: a call finds its own among them.
        List<qTokAPI> crowd = new ArrayList<>();
        for (int i = 0; i < Integer.getInteger("crowd", 10_000); i++) {
            qTokAPI a = new qTokAPI();
            a.Init();
            crowd.add(a);
        }
        // One thread and eight take turns, so that a machine whose speed drifts
        // during the run (a shared host) weighs on both alike; the median round of
        // each is shown.
        List<Result> ones = new ArrayList<>(List.of(one));
        List<Result> eights = new ArrayList<>();
        for (int round = 0; round < ROUNDS; round++) {
            eights.add(threads("QTOKJNI, 8 threads on 8 objects", apis));
            if (round + 1 < ROUNDS) ones.add(oneThread("QTOKJNI, 1 thread", api::CloseDevice));
        }
        one = medianRound(ones);
        Result eight = medianRound(eights);
        Result crowded = oneThread("QTOKJNI, 1 thread, " + crowd.size() + " objects live", api::CloseDevice);
        for (Result r : List.of(direct, one, eight, crowded)) r.print();
        System.out.printf("8 threads' total over 1 thread's: %.2f (rounds:", eight.callsPerSecond / one.callsPerSecond);
        for (int round = 0; round < ROUNDS; round++) {
            System.out.printf(" %.2f", eights.get(round).callsPerSecond / ones.get(round).callsPerSecond);
        }
        System.out.println(")");
        System.out.printf("per-call cost over the direct call: median %.2f us, p99 %.2f us%n",
                one.median() - direct.median(), one.p99() - direct.p99());
        boolean met = one.median() <= 10 && one.p99() <= 50 && crowded.median() <= 10
                && eight.callsPerSecond >= one.callsPerSecond;
        System.out.printf("targets (median <= 10 us, p99 <= 50 us, 8 threads' total >= 1 thread's): %s%n",
                met ? "met" : "NOT met");
        for (qTokAPI a : crowd) a.Uninit();
        for (qTokAPI a : apis) a.Uninit();
        api.Uninit();
    }
}
