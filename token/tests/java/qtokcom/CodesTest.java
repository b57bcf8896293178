package qtokcom;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.io.IOException;
import java.io.RandomAccessFile;
import java.lang.management.GarbageCollectorMXBean;
import java.lang.management.ManagementFactory;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.condition.EnabledIfEnvironmentVariable;

/** PINs and codes handed to the component leave nothing behind in the process's memory. */
@EnabledIfEnvironmentVariable(named = "QTOK_COMPONENT_LIBRARY", matches = ".+")
class CodesTest extends ComponentTest {
    static final int TAIL = 16, STEP = 0x3B;

    @Test
    void noCodeTailStaysInMemoryAfterVerifyAndChangeCode() throws IOException {
        qTokAPI api = ready();
        long found = -1;
        // A collection during the calls could leave a copy of a Java array behind
        // (the JVM's, not ours): such a run is made again.
        for (int attempt = 0; attempt < 3 && found != 0; attempt++) {
            System.gc();
            long collections = collections();
            for (int i = 0; i < 200; i++) {
                // Codes of many lengths, so that freed copies would land in many places;
                // their bytes step by STEP, which the scan looks for.
                byte[] old = new byte[24 + 8 * (i % 25)], fresh = new byte[20 + 4 * (i % 30)];
                for (int j = 0; j < old.length; j++) old[j] = (byte) (7 * i + STEP * j);
                for (int j = 0; j < fresh.length; j++) fresh[j] = (byte) (7 * i + 101 + STEP * j);
                api.Verify(0, old, old.length);
                api.ChangeCode(0, old, old.length, fresh, fresh.length);
                Arrays.fill(old, (byte) 0);
                Arrays.fill(fresh, (byte) 0);
            }
            if (collections() == collections) found = tailsInMemory();
        }
        assertEquals(0, found, "code tails in the process's writable memory");
    }

    static long collections() {
        return ManagementFactory.getGarbageCollectorMXBeans().stream()
                .mapToLong(GarbageCollectorMXBean::getCollectionCount).sum();
    }

    /** Runs of TAIL bytes stepping by STEP in the private writable mappings up to 4 GiB. */
    static long tailsInMemory() throws IOException {
        long runs = 0;
        byte[] chunk = new byte[1 << 20];
        try (RandomAccessFile mem = new RandomAccessFile("/proc/self/mem", "r")) {
            for (String line : Files.readAllLines(Path.of("/proc/self/maps"))) {
                String[] f = line.split("\\s+"), range = f[0].split("-");
                long start = Long.parseUnsignedLong(range[0], 16), end = Long.parseUnsignedLong(range[1], 16);
                // A sanitizer's shadow memory spans terabytes and holds no copies.
                if (!f[1].startsWith("rw") || line.contains("[v") || end - start > (1L << 32)) continue;
                for (long at = start; at < end; at += chunk.length) {
                    int n = (int) Math.min(chunk.length, end - at), run = 1;
                    try {
                        mem.seek(at);
                        mem.readFully(chunk, 0, n);
                    } catch (IOException unreadable) {
                        continue;
                    }
                    for (int k = 1; k < n; k++) {
                        run = (byte) (chunk[k] - chunk[k - 1]) == (byte) STEP ? run + 1 : 1;
                        if (run == TAIL) runs++;
                    }
                }
            }
        }
        return runs;
    }
}
