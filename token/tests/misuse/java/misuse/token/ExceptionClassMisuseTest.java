package misuse.token;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;
import javax.tools.JavaCompiler;
import javax.tools.ToolProvider;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;
import qtokcom.qTokAPI;

/**
 * Client ComFailException classes the library cannot raise as it means to. Each
 * variant is compiled here and raised by a probe in a JVM of its own (with
 * -Xcheck:jni), so that a variant that brings the JVM down fails its own case
 * only. Whatever the class, the caller gets a real Throwable and the JVM goes on.
 */
class ExceptionClassMisuseTest {
    @TempDir
    Path dir;

    private static final String PROBE = """
            package qtokcom;
            public class Probe {
                public static void main(String[] args) {
                    for (int i = 0; i < 2; i++) {
                        try {
                            new qTokAPI().CloseFile();
                            System.out.println("RESULT nothing raised");
                        } catch (Throwable t) {
                            System.out.println("RESULT " + t.getClass().getName() + ": " + t.getMessage());
                        }
                    }
                    System.out.flush();
                    System.exit(0);
                }
            }
            """;

    record Variant(String name, String source, String result) {
        @Override
        public String toString() {
            return name;
        }
    }

    static Stream<Variant> variants() {
        String head = "package qtokcom;\n";
        String noObject = "ER: 0x80105001 CloseFile: no token object: Init has not run on this object, or Uninit has";
        String serial = "private static final long serialVersionUID = 1L; ";
        return Stream.of(
                new Variant("a RuntimeException with a String constructor", head
                        + "public class ComFailException extends RuntimeException { " + serial
                        + "public ComFailException(String m) { super(m); } }",
                        "qtokcom.ComFailException: " + noObject),
                new Variant("a class that is no Throwable", head
                        + "public class ComFailException { public ComFailException(String m) {} }",
                        "java.lang.IncompatibleClassChangeError: qtokcom.ComFailException is not a Throwable"),
                new Variant("an exception without a String constructor", head
                        + "public class ComFailException extends RuntimeException { " + serial
                        + "public ComFailException() {} }",
                        "java.lang.NoSuchMethodError: qtokcom.ComFailException: method 'void <init>(java.lang.String)' not found"),
                new Variant("an exception whose constructor throws", head
                        + "public class ComFailException extends RuntimeException { " + serial
                        + "public ComFailException(String m) { throw new IllegalStateException(\"refused \" + m); } }",
                        "java.lang.IllegalStateException: refused " + noObject));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("variants")
    void theCallerGetsAThrowableAndTheJvmGoesOn(Variant v) throws Exception {
        Path src = dir.resolve("src/qtokcom"), out = dir.resolve("classes");
        Files.createDirectories(src);
        Files.writeString(src.resolve("ComFailException.java"), v.source);
        Files.writeString(src.resolve("Probe.java"), PROBE);
        Path shared = Path.of(qTokAPI.class.getProtectionDomain().getCodeSource().getLocation().toURI());
        JavaCompiler javac = ToolProvider.getSystemJavaCompiler();
        assertEquals(0, javac.run(null, null, null, "-d", out.toString(), "-cp", shared.toString(),
                src.resolve("ComFailException.java").toString(), src.resolve("Probe.java").toString()));

        // The variant comes first on the class path, before the test's own ComFailException.
        ProcessBuilder pb = new ProcessBuilder(
                Path.of(System.getProperty("java.home"), "bin", "java").toString(), "-Xcheck:jni",
                "-Djava.library.path=" + System.getProperty("java.library.path"),
                "-cp", out + File.pathSeparator + shared, "qtokcom.Probe");
        pb.redirectErrorStream(true);
        pb.redirectOutput(dir.resolve("probe.txt").toFile());
        Process p = pb.start();
        boolean ended = p.waitFor(60, TimeUnit.SECONDS);
        if (!ended) p.destroyForcibly().waitFor();
        String output = Files.readString(dir.resolve("probe.txt"), StandardCharsets.UTF_8);
        assertTrue(ended, "the probe ends:\n" + output);
        assertEquals(0, p.exitValue(), "the probe's JVM ends normally:\n" + output);
        assertFalse(output.matches("(?s).*(WARNING in native method|FATAL ERROR|JNI warning|Warning: JNI).*"),
                "no JNI warning:\n" + output);
        assertEquals(List.of("RESULT " + v.result, "RESULT " + v.result),
                output.lines().filter(l -> l.startsWith("RESULT ")).toList(), output);
    }
}
