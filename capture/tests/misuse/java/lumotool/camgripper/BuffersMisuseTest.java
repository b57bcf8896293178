package lumotool.camgripper;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNotSame;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.ByteBuffer;
import java.util.List;
import java.util.function.Supplier;

import lumotool.camgripper.sim.SimPlatform;
import org.junit.jupiter.api.Test;

/**
 * Buffers of every odd kind where the library takes a ByteBuffer: the grab
 * buffer, and the subtype buffer of a GUID that start matches capabilities with.
 * The library works from a direct buffer's address and capacity (never its
 * position or limit), never writes into a buffer it cannot use whole, and never
 * reads past one.
 */
class BuffersMisuseTest extends CameraTestBase {
    private static final int W = 16;
    private static final int H = 12;
    private static final int FRAME = W * H * 4;
    private static final byte FILL = 0x5A;

    @Override
    protected void cameras() {
        int cam = Fixture.camera("cam");
        Fixture.capability(cam, SimPlatform.RGB32, W, H);
        Fixture.capability(cam, SimPlatform.YUY2, W, H);
        Fixture.capability(cam, SimPlatform.RGB32, 320, 240);
    }

    static long residentKiB() throws java.io.IOException {
        for (String line : java.nio.file.Files.readAllLines(java.nio.file.Path.of("/proc/self/status"))) {
            if (line.startsWith("VmRSS:")) return Long.parseLong(line.replaceAll("[^0-9]", ""));
        }
        throw new IllegalStateException("no VmRSS");
    }

    /** The buffers grab hands out are the JVM's: collected with them, nothing left behind. */
    @Test
    void grabsIntoNoBufferLeaveNoMemoryBehind() throws Exception {
        CaptureDevice d = fixture.showFirst();
        assertTrue(d.start(new VideoFormat(320, 240, GUID.of(SimPlatform.RGB32)), false));
        for (int i = 0; i < 50; i++) d.grab(null);
        System.gc();
        long before = residentKiB();
        for (int i = 0; i < 1000; i++) {
            assertEquals(320 * 240 * 4, d.grab(null).capacity());
            if (i % 100 == 99) System.gc();
        }
        System.gc();
        Thread.sleep(200);
        long grown = residentKiB() - before;
        assertTrue(grown < 64 * 1024, "1000 frames of 300 KiB grew the process by " + grown + " KiB");
    }

    /** A grab buffer of some kind, over storage whose every byte the test can check afterwards. */
    record Shape(String name, Supplier<ByteBuffer[]> make, boolean usable) {
        /** [0]: the buffer passed to grab; [1]: the whole storage behind it. */
        ByteBuffer[] create() {
            ByteBuffer[] b = make.get();
            if (!b[1].isReadOnly()) {
                ByteBuffer all = whole(b[1]);
                for (int i = 0; i < all.capacity(); i++) all.put(i, FILL);
            }
            return b;
        }

        @Override
        public String toString() {
            return name;
        }
    }

    /** A view of every byte of the buffer, whatever its position and limit. */
    static ByteBuffer whole(ByteBuffer b) {
        return b.duplicate().clear();
    }

    private static ByteBuffer[] pair(ByteBuffer b) {
        return new ByteBuffer[] {b, b};
    }

    private static ByteBuffer sliceOf(ByteBuffer parent, int offset, int length) {
        return parent.slice(offset, length);
    }

    static final List<Shape> GRAB_SHAPES = List.of(
            new Shape("a direct buffer of capacity 0", () -> pair(ByteBuffer.allocateDirect(0)), false),
            new Shape("a heap buffer of capacity 0", () -> pair(ByteBuffer.allocate(0)), false),
            new Shape("a heap buffer over an array", () -> pair(ByteBuffer.wrap(new byte[FRAME * 2])), false),
            new Shape("a read-only heap buffer", () -> {
                ByteBuffer storage = ByteBuffer.allocate(FRAME);
                return new ByteBuffer[] {storage.asReadOnlyBuffer(), storage};
            }, false),
            new Shape("a direct slice one byte short of a frame", () -> {
                ByteBuffer storage = ByteBuffer.allocateDirect(FRAME + 10);
                return new ByteBuffer[] {sliceOf(storage, 10, FRAME - 1), storage};
            }, false),
            new Shape("a direct slice of a frame at offset 10", () -> {
                ByteBuffer storage = ByteBuffer.allocateDirect(FRAME + 10);
                return new ByteBuffer[] {sliceOf(storage, 10, FRAME), storage};
            }, true),
            new Shape("a direct buffer with position and limit set", () -> {
                ByteBuffer b = ByteBuffer.allocateDirect(FRAME);
                b.limit(200).position(100);
                return pair(b);
            }, true));

    /** Frames are bytes (n + i) mod 256: an unmirrored frame counts up by one. */
    private static void assertFrame(ByteBuffer buffer, int from) {
        ByteBuffer frame = whole(buffer);
        int first = frame.get(from) & 0xFF;
        for (int i = 0; i < FRAME; i++) {
            assertEquals((first + i) & 0xFF, frame.get(from + i) & 0xFF, "byte " + i);
        }
    }

    private static void assertUntouched(ByteBuffer buffer, int from, int to) {
        ByteBuffer storage = whole(buffer);
        for (int i = from; i < to; i++) {
            assertEquals(FILL, storage.get(i), "byte " + i + " of the storage");
        }
    }

    @Test
    void aRunningDeviceGrabsIntoUsableBuffersOnlyAndLeavesTheOthersAlone() {
        CaptureDevice d = fixture.showFirst();
        assertTrue(d.start(null, false));
        for (Shape shape : GRAB_SHAPES) {
            ByteBuffer[] b = shape.create();
            ByteBuffer passed = b[0], storage = b[1];
            int position = passed.position(), limit = passed.limit();
            ByteBuffer got = d.grab(passed);
            assertNotNull(got, shape.name);
            assertTrue(got.isDirect(), shape.name);
            assertEquals(position, passed.position(), shape.name + ": position kept");
            assertEquals(limit, passed.limit(), shape.name + ": limit kept");
            if (shape.usable) {
                assertSame(passed, got, shape.name);
                assertFrame(passed, 0);
                // Nothing before the buffer's first byte is written.
                int offset = storage.capacity() - passed.capacity();
                assertUntouched(storage, 0, offset);
            } else {
                assertNotSame(passed, got, shape.name);
                assertEquals(FRAME, got.capacity(), shape.name);
                assertFrame(got, 0);
                if (!storage.isReadOnly()) assertUntouched(storage, 0, storage.capacity());
                else for (int i = 0; i < storage.capacity(); i++) assertEquals(0, storage.get(i), shape.name);
            }
        }
        Fixture.assertReports();
    }

    @Test
    void everyBufferGivesNullAndStaysUntouchedWhereNothingRuns() {
        CaptureDevice none = new CaptureDevice("none", null, null, 0);
        CaptureDevice idle = fixture.list().get(0);
        fixture.show(none, idle);
        for (CaptureDevice d : new CaptureDevice[] {none, idle}) {
            for (Shape shape : GRAB_SHAPES) {
                ByteBuffer[] b = shape.create();
                assertNull(d.grab(b[0]), shape.name);
                if (!b[1].isReadOnly()) assertUntouched(b[1], 0, b[1].capacity());
            }
        }
        assertTrue(idle.start(null, false));
        assertTrue(idle.stop());
        for (Shape shape : GRAB_SHAPES) {
            assertNull(idle.grab(shape.create()[0]), "stopped: " + shape.name);
        }
        Fixture.assertReports();
    }

    /** A subtype buffer of some kind and whether it names YUY2 (else it matches nothing). */
    record Subtype(String name, Supplier<ByteBuffer> make, boolean matches) {
        @Override
        public String toString() {
            return name;
        }
    }

    private static ByteBuffer yuy2At(int capacity, int offset) {
        ByteBuffer b = ByteBuffer.allocateDirect(capacity);
        for (int i = 0; i < 16; i++) b.put(offset + i, SimPlatform.YUY2[i]);
        return b;
    }

    static final List<Subtype> SUBTYPES = List.of(
            new Subtype("a direct buffer of capacity 0", () -> ByteBuffer.allocateDirect(0), false),
            new Subtype("a heap buffer of capacity 0", () -> ByteBuffer.allocate(0), false),
            new Subtype("a read-only heap buffer holding YUY2",
                    () -> ByteBuffer.wrap(SimPlatform.YUY2.clone()).asReadOnlyBuffer(), false),
            new Subtype("a direct slice one byte short", () -> yuy2At(32, 7).slice(7, 15), false),
            new Subtype("a direct buffer holding YUY2 after its first byte", () -> yuy2At(32, 1), false),
            new Subtype("a direct slice holding YUY2 at offset 7", () -> yuy2At(32, 7).slice(7, 16), true),
            new Subtype("a read-only direct buffer holding YUY2", () -> yuy2At(16, 0).asReadOnlyBuffer(), true),
            new Subtype("a direct buffer longer than a GUID", () -> yuy2At(40, 0), true),
            new Subtype("a direct buffer with its position past the GUID", () -> {
                ByteBuffer b = yuy2At(16, 0);
                b.position(16);
                return b;
            }, true));

    @Test
    void startMatchesASubtypeFromTheBufferAddressAndCapacityOnly() {
        CaptureDevice d = fixture.showFirst();
        int before = SimPlatform.liveObjects();
        for (Subtype s : SUBTYPES) {
            boolean started = d.start(new VideoFormat(0, 0, new GUID(s.make.get())), false);
            assertEquals(s.matches, started, s.name);
            if (started) {
                assertArrayEquals(SimPlatform.YUY2, d.getFormat().getSubType().bytes(), s.name);
                assertTrue(d.stop());
            } else {
                assertFalse(d.isRunning(), s.name);
            }
            assertEquals(before, SimPlatform.liveObjects(), s.name + ": the graph is released");
        }
        Fixture.assertReports();
    }
}
