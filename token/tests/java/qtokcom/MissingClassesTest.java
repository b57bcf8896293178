package qtokcom;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.io.IOException;
import java.lang.reflect.InvocationTargetException;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import javax.tools.JavaCompiler;
import javax.tools.ToolProvider;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.condition.EnabledIfEnvironmentVariable;
import org.junit.jupiter.api.io.TempDir;
import qtokfixture.ScriptedComponent;

/**
 * Client classes that lack what the library looks up: the JVM's own error reaches
 * the caller, nothing is called or leaked, and the JVM survives. Each variant of
 * qtokcom.qTokAPI is compiled here and loaded in its own class loader together
 * with its own copy of the library (a library belongs to one loader).
 */
@EnabledIfEnvironmentVariable(named = "QTOK_COMPONENT_LIBRARY", matches = ".+")
class MissingClassesTest extends ComponentTest {
    @TempDir
    Path dir;

    private final List<Object> initialised = new ArrayList<>();

    private static final String METHODS = """
                static void load(String path) { System.load(path); }
                public native void Init();
                public native void Uninit();
                public native int GetLibVersion();
                public native void OpenDevice(int p1, byte[] p2);
                public native void SMD5Hash(byte[] p1, int p2, byte[] p3);
            """;
    private static final String EXCEPTION = """
            package qtokcom;
            public class ComFailException extends RuntimeException {
                private static final long serialVersionUID = 1L;
                public ComFailException(String m) { super(m); }
            }
            """;

    /** Compiles the sources into a fresh loader and loads a copy of the library there. */
    /** A qTokAPI with these fields and the native methods, with or without ComFailException. */
    private Class<?> variant(String name, boolean withException, String... fields) throws Exception {
        String api = "package qtokcom;\npublic class qTokAPI {\n" + String.join("\n", fields) + "\n" + METHODS + "}";
        return withException ? variant(name, Map.of("ComFailException", EXCEPTION, "qTokAPI", api))
                             : variant(name, Map.of("qTokAPI", api));
    }

    private Class<?> variant(String name, Map<String, String> sources) throws Exception {
        Path src = dir.resolve(name + "-src"), out = dir.resolve(name + "-classes");
        List<String> args = new ArrayList<>(List.of("-d", out.toString()));
        for (Map.Entry<String, String> e : sources.entrySet()) {
            Path f = src.resolve("qtokcom").resolve(e.getKey() + ".java");
            Files.createDirectories(f.getParent());
            Files.writeString(f, e.getValue());
            args.add(f.toString());
        }
        JavaCompiler javac = ToolProvider.getSystemJavaCompiler();
        assertEquals(0, javac.run(null, null, null, args.toArray(new String[0])), "variant compiles");
        @SuppressWarnings("resource") // lives as long as the library it loaded
        URLClassLoader loader = new URLClassLoader(new URL[] {out.toUri().toURL()},
                ClassLoader.getPlatformClassLoader());
        Class<?> api = loader.loadClass("qtokcom.qTokAPI");
        Path copy = dir.resolve(name + "-" + System.mapLibraryName("QTOKJNI"));
        Files.copy(library(), copy, StandardCopyOption.REPLACE_EXISTING);
        var load = api.getDeclaredMethod("load", String.class);
        load.setAccessible(true);
        load.invoke(null, copy.toString());
        return api;
    }

    private static Path library() throws IOException {
        for (String d : System.getProperty("java.library.path").split(File.pathSeparator)) {
            Path p = Path.of(d, System.mapLibraryName("QTOKJNI"));
            if (Files.exists(p)) return p;
        }
        throw new IOException("QTOKJNI not on java.library.path");
    }

    private static Object call(Object api, String method, Object... args) throws Throwable {
        for (var m : api.getClass().getMethods()) {
            if (m.getName().equals(method)) {
                try {
                    return m.invoke(api, args);
                } catch (InvocationTargetException e) {
                    throw e.getCause();
                }
            }
        }
        throw new NoSuchMethodException(method);
    }

    private Object init(Object api) throws Throwable {
        call(api, "Init");
        initialised.add(api);
        return api;
    }

    @AfterEach
    void uninitVariants() throws Throwable {
        for (Object api : initialised) call(api, "Uninit");
    }

    @Test
    void withoutHandleTheFieldErrorIsRaisedAndNothingLeaks() throws Throwable {
        Class<?> type = variant("nohandle", true, "public byte[] hash = new byte[8];");
        Object api = type.getConstructor().newInstance();
        NoSuchFieldError e = assertThrows(NoSuchFieldError.class, () -> call(api, "Init"));
        assertTrue(e.getMessage().contains("handle"), e.getMessage());
        assertEquals(List.of("create token", "create hash", "hash.Release", "hash.destroyed",
                "token.Release", "token.destroyed"), calls());
        assertArrayEquals(new byte[8], (byte[]) type.getField("hash").get(api));

        ScriptedComponent.reset();
        byte[] pin = bytes(1, 2, 3);
        assertThrows(NoSuchFieldError.class, () -> call(api, "GetLibVersion"));
        assertThrows(NoSuchFieldError.class, () -> call(api, "OpenDevice", 1, pin));
        assertThrows(NoSuchFieldError.class, () -> call(api, "Uninit"));
        assertEquals(List.of(), calls());
    }

    @Test
    void withoutHashInitStoresNothingAndHashMethodsRaiseTheFieldError() throws Throwable {
        Class<?> type = variant("nohash", true, "public byte[] handle = new byte[8];");
        Object api = type.getConstructor().newInstance();
        assertThrows(NoSuchFieldError.class, () -> call(api, "Init"));
        assertArrayEquals(new byte[8], (byte[]) type.getField("handle").get(api));
        assertThrows(NoSuchFieldError.class, () -> call(api, "SMD5Hash", null, 1, bytes(4)));
        // The token object's field is there: a token method sees an empty object, and
        // the exception is the variant's own ComFailException.
        Throwable e = assertThrows(Throwable.class, () -> call(api, "GetLibVersion"));
        assertEquals(type.getClassLoader().loadClass("qtokcom.ComFailException"), e.getClass());
        assertTrue(e.getMessage().startsWith(NO_OBJECT + " GetLibVersion"), e.getMessage());
    }

    @Test
    void aHandleOfTheWrongTypeIsAMissingField() throws Throwable {
        Class<?> type = variant("inthandle", true, "public long handle;", "public byte[] hash = new byte[8];");
        Object api = type.getConstructor().newInstance();
        assertThrows(NoSuchFieldError.class, () -> call(api, "Init"));
        assertThrows(NoSuchFieldError.class, () -> call(api, "OpenDevice", 1, null));
        assertEquals(0L, type.getField("handle").getLong(api));
    }

    @Test
    void withoutComFailExceptionTheClassErrorIsRaised() throws Throwable {
        Class<?> type = variant("noexception", false, "public byte[] handle = new byte[8];", "public byte[] hash = new byte[8];");
        Object fresh = type.getConstructor().newInstance();
        NoClassDefFoundError e = assertThrows(NoClassDefFoundError.class,
                () -> call(fresh, "GetLibVersion"));
        assertTrue(e.getMessage().contains("ComFailException"), e.getMessage());

        Object api = init(type.getConstructor().newInstance());
        ScriptedComponent.respond(TOKEN, 11, 0x80004005);
        byte[] pin = bytes(5, 6);
        ScriptedComponent.write(TOKEN, 11, 1, bytes(7, 8));
        assertThrows(NoClassDefFoundError.class, () -> call(api, "OpenDevice", 1, pin));
        assertArrayEquals(bytes(7, 8), pin);
    }
}
