package lumotool.camgripper;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;
import javax.tools.JavaCompiler;
import javax.tools.ToolProvider;

import lumotool.camgripper.sim.SimPlatform;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;

/**
 * Client classes that do not have what the library looks up, or are not what it
 * expects (a CaptureDevice that is no Canvas). Each variant of the three client
 * classes is compiled here and driven by a probe in a JVM of its own, with
 * -Xcheck:jni: one probe that brings its JVM down cannot take the others along.
 * The probe runs the same calls for every variant and prints one line per call;
 * the JVM must end normally, print no JNI warning and give exactly the lines
 * expected. What the library cannot look up is a failure like any other: the
 * call's false or null (no device, no format), no Java exception, nothing built
 * or leaked; setBounds still moves a canvas.
 */
class ClassVariantsMisuseTest {
    @TempDir
    Path dir;

    private static final String DEVICE = """
            package lumotool.camgripper;
            import java.awt.Graphics;
            import java.nio.ByteBuffer;
            import java.util.ArrayList;
            public class CaptureDevice extends java.awt.Canvas {
                private static final long serialVersionUID = 1L;
                static { System.loadLibrary("camgrip"); }
                private int pSrcFilter;
                public CaptureDevice(String name, String description, String path, int handle) {
                    pSrcFilter = handle;
                }
                public int getHandle() { return (int) pSrcFilter; }
                public static native ArrayList<CaptureDevice> enumDevices();
                public native boolean start(VideoFormat format, boolean mirror);
                public native boolean stop();
                public native boolean isRunning();
                public native boolean destroy();
                public native void setBounds(int x, int y, int width, int height);
                public native void paint(Graphics g);
                public native VideoFormat getFormat();
                public native ArrayList<VideoFormat> queryFormats();
                public native ByteBuffer grab(ByteBuffer buffer);
            }
            """;

    private static final String FORMAT = """
            package lumotool.camgripper;
            public class VideoFormat {
                private final int width, height;
                private final GUID subType;
                public VideoFormat(int width, int height, GUID subType) {
                    this.width = width; this.height = height; this.subType = subType;
                }
                static VideoFormat sample(GUID g) { return new VideoFormat(16, 12, g); }
                public int getWidth() { return width; }
                public int getHeight() { return height; }
                public GUID getSubType() { return subType; }
            }
            """;

    private static final String GUID_CLASS = """
            package lumotool.camgripper;
            import java.nio.ByteBuffer;
            public class GUID {
                private final ByteBuffer buf;
                public GUID(ByteBuffer buf) { this.buf = buf; }
                static GUID sample(byte[] b) {
                    ByteBuffer d = ByteBuffer.allocateDirect(16); d.put(b); return new GUID(d);
                }
                public ByteBuffer getBuf() { return buf; }
            }
            """;

    /** The same calls for every variant; one line per call. */
    private static final String PROBE = """
            package lumotool.camgripper;
            import java.awt.*;
            import java.nio.ByteBuffer;
            import java.util.List;
            import java.util.concurrent.Callable;
            import lumotool.camgripper.sim.SimPlatform;
            public class Probe {
                // Results go to a file of their own: the JVM may print to standard
                // output at any moment, in the middle of a line of ours.
                static java.io.PrintStream OUT;
                static void step(String name, Callable<Object> call) {
                    String result;
                    try {
                        Object r = call.call();
                        if (r == null) result = "null";
                        else if (r instanceof Boolean) result = r.toString();
                        else if (r instanceof List<?> l) result = "list " + l.size();
                        else if (r instanceof ByteBuffer b) result = "buffer " + b.capacity();
                        else if (r instanceof VideoFormat f) result = "format " + f.getWidth() + "x" + f.getHeight();
                        else result = r.toString();
                    } catch (Throwable t) {
                        result = t.getClass().getSimpleName();
                    }
                    OUT.println("STEP " + name + ": " + result);
                }
                public static void main(String[] args) throws Exception {
                    OUT = new java.io.PrintStream(new java.io.FileOutputStream(args[0]), true, "UTF-8");
                    // A probe that hangs is ended, and reported by its exit status.
                    Thread watchdog = new Thread(() -> {
                        try { Thread.sleep(45000); } catch (InterruptedException e) { return; }
                        Runtime.getRuntime().halt(3);
                    });
                    watchdog.setDaemon(true);
                    watchdog.start();
                    java.util.Set<String> uncaught = java.util.concurrent.ConcurrentHashMap.newKeySet();
                    Thread.setDefaultUncaughtExceptionHandler((t, e) -> {
                        if (uncaught.add(e.getClass().getSimpleName())) {
                            OUT.println("UNCAUGHT " + e.getClass().getSimpleName());
                        }
                    });
                    SimPlatform.reset();
                    int cam = SimPlatform.addCamera("cam", "desc", "path", 128, 2);
                    SimPlatform.addCapability(cam, SimPlatform.RGB32, 16, 12, SimPlatform.VIDEO_INFO, false, 0);
                    Frame frame = new Frame("probe");
                    Object[] listed = new Object[1];
                    step("enumDevices", () -> listed[0] = CaptureDevice.enumDevices());
                    List<?> list = (List<?>) listed[0];
                    if (list != null && !list.isEmpty()) {
                        CaptureDevice d = (CaptureDevice) list.get(0);
                        if ((Object) d instanceof Component c) {
                            try {
                                c.setPreferredSize(new Dimension(160, 120));
                                frame.add(c);
                                frame.pack();
                                frame.setVisible(true);
                                Robot robot = new Robot();
                                EventQueue.invokeAndWait(() -> { });
                                robot.waitForIdle();
                            } catch (Throwable t) {
                                OUT.println("SHOW " + t.getClass().getSimpleName());
                            }
                        }
                        step("start(format)", () -> d.start(VideoFormat.sample(GUID.sample(SimPlatform.RGB32)), false));
                        step("isRunning", d::isRunning);
                        step("getFormat", d::getFormat);
                        step("stop", d::stop);
                        step("start(null)", () -> d.start(null, true));
                        step("isRunning", d::isRunning);
                        step("getFormat", d::getFormat);
                        step("grab(null)", () -> d.grab(null));
                        step("grab(heap)", () -> d.grab(ByteBuffer.allocate(8)));
                        step("paint", () -> { d.paint(null); return "done"; });
                        step("setBounds", () -> { d.setBounds(1, 2, 30, 40); return "done"; });
                        if ((Object) d instanceof Component c) {
                            OUT.println("BOUNDS " + c.getWidth() + "x" + c.getHeight());
                        }
                        step("queryFormats", d::queryFormats);
                        step("stop", d::stop);
                        step("queryFormats", d::queryFormats);
                        step("isRunning", d::isRunning);
                        step("destroy", d::destroy);
                        step("destroy", d::destroy);
                    }
                    frame.dispose();
                    OUT.println("LIVE " + SimPlatform.liveObjects());
                    OUT.println("REPORTS " + String.join(",", SimPlatform.takeErrorReports()));
                    OUT.close();
                    System.exit(0);
                }
            }
            """;

    /** A variant: what it changes in the three classes and the lines its probe must print. */
    record Variant(String name, Map<String, String> replace, List<String> expected) {
        @Override
        public String toString() {
            return name;
        }
    }

    private static final String[] STEPS = {"start(format)", "isRunning", "getFormat", "stop", "start(null)",
        "isRunning", "getFormat", "grab(null)", "grab(heap)", "paint", "setBounds", "queryFormats", "stop",
        "queryFormats", "isRunning", "destroy", "destroy"};
    private static final int SET_BOUNDS = 10;

    /** A device that works: each step's result. */
    private static final String[] WORKING = {"true", "true", "format 16x12", "true", "true", "true",
        "format 16x12", "buffer 768", "buffer 768", "done", "done", "list 1", "true", "list 1", "false",
        "true", "false"};
    /** No device: each step's no-device result. */
    private static final String[] NO_DEVICE = {"false", "false", "null", "false", "false", "false", "null",
        "null", "null", "done", "done", "null", "false", "null", "false", "false", "false"};

    /**
     * The probe's lines: the listing, each step with its result (changes given as
     * step index, result), the canvas size after setBounds (none: no canvas), the
     * platform objects left and no error report.
     */
    private static List<String> lines(String listing, String[] results, String bounds, int live,
                                      Object... changes) {
        List<String> out = new ArrayList<>(List.of("STEP enumDevices: " + listing));
        if (listing.startsWith("list")) {
            String[] r = results.clone();
            for (int i = 0; i < changes.length; i += 2) r[(Integer) changes[i]] = (String) changes[i + 1];
            for (int i = 0; i < STEPS.length; i++) {
                out.add("STEP " + STEPS[i] + ": " + r[i]);
                if (i == SET_BOUNDS && bounds != null) out.add("BOUNDS " + bounds);
            }
        }
        out.add("LIVE " + live);
        out.add("REPORTS ");
        return out;
    }

    static Stream<Variant> variants() {
        List<Variant> all = new ArrayList<>();
        all.add(new Variant("the client classes as the library expects them", Map.of(),
                lines("list 1", WORKING, "30x40", 0)));
        // No device for the library; the canvas still moves, and the listed source
        // filter stays with the object that cannot be destroyed.
        all.add(new Variant("CaptureDevice without pSrcFilter",
                Map.of("private int pSrcFilter;", "private int handle;", "pSrcFilter = handle;",
                        "this.handle = handle;", "(int) pSrcFilter", "handle"),
                lines("list 1", NO_DEVICE, "30x40", 1)));
        all.add(new Variant("CaptureDevice with a long pSrcFilter",
                Map.of("private int pSrcFilter;", "private long pSrcFilter;"),
                lines("list 1", NO_DEVICE, "30x40", 1)));
        all.add(new Variant("CaptureDevice with a static pSrcFilter",
                Map.of("private int pSrcFilter;", "private static int pSrcFilter;"),
                lines("list 1", NO_DEVICE, "30x40", 1)));
        all.add(new Variant("CaptureDevice without the listing constructor",
                Map.of("String path, int handle", "String path, long handle", "pSrcFilter = handle;",
                        "pSrcFilter = (int) handle;"),
                lines("null", NO_DEVICE, null, 0)));
        // No canvas, no window: the device works as a camera without a preview (a
        // photo, a barcode); there are no bounds to set.
        all.add(new Variant("CaptureDevice that is no Canvas",
                Map.of(" extends java.awt.Canvas", "", "private static final long serialVersionUID = 1L;", ""),
                lines("list 1", WORKING, null, 0)));
        all.add(new Variant("VideoFormat without getSubType",
                Map.of("public GUID getSubType() { return subType; }", "GUID subType() { return subType; }"),
                lines("list 1", WORKING, "30x40", 0, 0, "false", 1, "false", 2, "null")));
        all.add(new Variant("VideoFormat with a long getWidth",
                Map.of("public int getWidth() { return width; }", "public long getWidth() { return width; }"),
                lines("list 1", WORKING, "30x40", 0, 0, "false", 1, "false", 2, "null")));
        all.add(new Variant("GUID without getBuf",
                Map.of("public ByteBuffer getBuf() { return buf; }", "ByteBuffer buffer() { return buf; }"),
                lines("list 1", WORKING, "30x40", 0, 0, "false", 1, "false", 2, "null")));
        // Formats cannot be handed out; the running preview is not disturbed by trying.
        all.add(new Variant("VideoFormat without the (int, int, GUID) constructor",
                Map.of("public VideoFormat(int width, int height, GUID subType)",
                        "public VideoFormat(long width, long height, GUID subType)",
                        "this.width = width; this.height = height;",
                        "this.width = (int) width; this.height = (int) height;"),
                lines("list 1", WORKING, "30x40", 0, 2, "null", 6, "null", 11, "null", 13, "null")));
        all.add(new Variant("GUID without the (ByteBuffer) constructor",
                Map.of("public GUID(ByteBuffer buf) { this.buf = buf; }",
                        "public GUID(java.nio.Buffer buf) { this.buf = (ByteBuffer) buf; }"),
                lines("list 1", WORKING, "30x40", 0, 2, "null", 6, "null", 11, "null", 13, "null")));
        return all.stream();
    }

    /** Compiles the variant's classes and the probe, runs it, and returns its output. */
    private String runProbe(Variant v) throws Exception {
        Map<String, String> sources = new LinkedHashMap<>();
        sources.put("CaptureDevice", DEVICE);
        sources.put("VideoFormat", FORMAT);
        sources.put("GUID", GUID_CLASS);
        sources.put("Probe", PROBE);
        for (Map.Entry<String, String> r : v.replace.entrySet()) {
            boolean found = false;
            for (Map.Entry<String, String> s : sources.entrySet()) {
                if (s.getValue().contains(r.getKey())) {
                    s.setValue(s.getValue().replace(r.getKey(), r.getValue()));
                    found = true;
                }
            }
            assertTrue(found, "the variant changes something: " + r.getKey());
        }
        Path src = dir.resolve("src/lumotool/camgripper"), out = dir.resolve("classes");
        Files.createDirectories(src);
        Path shared = Path.of(SimPlatform.class.getProtectionDomain().getCodeSource().getLocation().toURI());
        List<String> args = new ArrayList<>(List.of("-d", out.toString(), "-cp", shared.toString()));
        for (Map.Entry<String, String> s : sources.entrySet()) {
            Path f = src.resolve(s.getKey() + ".java");
            Files.writeString(f, s.getValue());
            args.add(f.toString());
        }
        JavaCompiler javac = ToolProvider.getSystemJavaCompiler();
        assertEquals(0, javac.run(null, null, null, args.toArray(new String[0])), "the variant compiles");

        Path java = Path.of(System.getProperty("java.home"), "bin", "java");
        // The plain X11 pipeline, as in the test's own JVM (see capture/tests/misuse/CMakeLists.txt).
        ProcessBuilder pb = new ProcessBuilder(java.toString(), "-Xcheck:jni", "-Dsun.java2d.xrender=false",
                "-Djava.library.path=" + System.getProperty("java.library.path"),
                "-cp", out + File.pathSeparator + shared, "lumotool.camgripper.Probe",
                dir.resolve("results.txt").toString());
        pb.redirectErrorStream(true);
        pb.redirectOutput(dir.resolve("probe.txt").toFile());
        Process p = pb.start();
        boolean ended = p.waitFor(90, TimeUnit.SECONDS);
        if (!ended) {
            p.destroyForcibly().waitFor();
        }
        String output = Files.readString(dir.resolve("probe.txt"), StandardCharsets.UTF_8);
        assertTrue(ended, "the probe ends:\n" + output);
        assertEquals(0, p.exitValue(), "the probe's JVM ends normally:\n" + output);
        return output + "\n" + Files.readString(dir.resolve("results.txt"), StandardCharsets.UTF_8);
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("variants")
    void theJvmSurvivesAndEachCallGivesItsFailureResultWithoutException(Variant v) throws Exception {
        String output = runProbe(v);
        assertFalse(output.matches("(?s).*(WARNING in native method|FATAL ERROR|JNI warning|Warning: JNI).*"),
                "no JNI warning:\n" + output);
        List<String> lines = output.lines()
                .filter(l -> l.startsWith("STEP ") || l.startsWith("BOUNDS ") || l.startsWith("LIVE ")
                        || l.startsWith("REPORTS") || l.startsWith("SHOW ") || l.startsWith("UNCAUGHT "))
                .toList();
        assertEquals(v.expected, lines, output);
    }
}
