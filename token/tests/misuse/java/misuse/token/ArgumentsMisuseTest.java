package misuse.token;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.ArrayList;
import java.util.List;
import java.util.stream.Collectors;
import qtokfixture.NativeMethod;
import java.util.stream.Stream;
import org.junit.jupiter.api.condition.EnabledIfEnvironmentVariable;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;
import qtokcom.qTokAPI;

/**
 * Every native method of qTokAPI with null and zero-length arrays, on objects that
 * hold their component objects and on objects whose holders are empty or missing.
 */
@EnabledIfEnvironmentVariable(named = "QTOK_COMPONENT_LIBRARY", matches = ".+")
class ArgumentsMisuseTest extends TokenHarness {
    // The methods and their parameters (NativeMethod), the frame's own three first.
    static final List<NativeMethod> CASES = Stream.concat(
            Stream.of(new NativeMethod("Uninit", TOKEN, -1, ""),
                      new NativeMethod("GetLibVersion", TOKEN, 7, ""),
                      new NativeMethod("GetDriverVersion", TOKEN, 8, "")),
            NativeMethod.ALL.stream())
            .collect(Collectors.toList());

    static Stream<NativeMethod> cases() {
        return CASES.stream();
    }

    static Stream<NativeMethod> withArrays() {
        return CASES.stream().filter(NativeMethod::hasArrays);
    }

    enum Shape { NULL, EMPTY, FULL }

    /** The arguments of one call; each array argument gets the shape chosen for its position. */
    static final class Call {
        final NativeMethod c;
        final Object[] args;
        final Class<?>[] types;

        Call(NativeMethod c, java.util.function.IntFunction<Shape> shapeAt) {
            this.c = c;
            int n = c.params().length();
            args = new Object[n];
            types = new Class<?>[n];
            for (int i = 0; i < n; i++) {
                char p = c.params().charAt(i);
                switch (p) {
                    case 'I' -> { types[i] = int.class; args[i] = 1000 + i; }
                    // All of the array before it (none of a null one).
                    case 'L' -> {
                        types[i] = int.class;
                        Object a = args[i - 1];
                        args[i] = a == null ? 0 : a instanceof byte[] b ? b.length : ((int[]) a).length;
                    }
                    case 'B', 'C', 'G', 'X' -> {
                        types[i] = byte[].class;
                        args[i] = switch (shapeAt.apply(i)) {
                            case NULL -> null;
                            case EMPTY -> new byte[0];
                            case FULL -> pattern(16, i);
                        };
                    }
                    case 'N', 'K' -> {
                        types[i] = int[].class;
                        args[i] = switch (shapeAt.apply(i)) {
                            case NULL -> null;
                            case EMPTY -> new int[0];
                            case FULL -> new int[] {i, -i};
                        };
                    }
                    case 'F', 'D', 'A', 'S', 'V' -> { types[i] = Object.class; args[i] = NativeMethod.record(c.params().charAt(i)); }
                    default -> throw new IllegalArgumentException(c.params());
                }
            }
        }

        void on(qTokAPI api) throws Throwable {
            invoke(api, c.method(), types, args);
        }

        /** Makes the call, which reaches the component as this line and nothing else. */
        void reaches(qTokAPI api, String what) throws Throwable {
            on(api);
            assertEquals(List.of(expectedLine()), calls(), what);
        }

        /** An empty array where the component writes a digest or a count. */
        boolean shortOutput() {
            for (int i = 0; i < args.length; i++) {
                char p = c.params().charAt(i);
                if (p == 'G' && args[i] != null && ((byte[]) args[i]).length < 16) return true;
                if (p == 'K' && args[i] != null && ((int[]) args[i]).length < 1) return true;
            }
            return false;
        }

        /** The line the component logs: non-null arrays as bare pointers, records with their bytes. */
        String expectedLine() {
            List<String> parts = new ArrayList<>();
            for (int i = 0; i < args.length; i++) {
                char p = c.params().charAt(i);
                if (p == 'I' || p == 'L') {
                    parts.add(Integer.toString((Integer) args[i]));
                } else if (args[i] == null) {
                    parts.add("null");
                } else if (NativeMethod.isArray(p)) {
                    parts.add("*");
                } else {
                    int size = switch (p) {
                        case 'F' -> 44;
                        case 'D' -> 48;
                        case 'A' -> 16;
                        case 'S' -> 32;
                        default -> 8;
                    };
                    parts.add("*[" + hex(new byte[size]) + "]");
                }
            }
            return (c.kind() == TOKEN ? "token." : "hash.") + c.slot() + "(" + String.join(", ", parts) + ")";
        }
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("withArrays")
    void emptyArraysReachTheComponentAsPointersNotAsNull(NativeMethod c) throws Throwable {
        qTokAPI api = ready();
        // Digest and count arrays keep their elements here; every other array is empty.
        Call call = new Call(c, i -> "GK".indexOf(c.params().charAt(i)) >= 0 ? Shape.FULL : Shape.EMPTY);
        call.reaches(api, "digest and count arrays full, others empty");
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("withArrays")
    void nullAndEmptyArraysMixedKeepTheirPlaces(NativeMethod c) throws Throwable {
        qTokAPI api = ready();
        // Every array null (each reaches the component as a null pointer), then null
        // and empty ones alternating either way.
        for (int parity = -1; parity < 2; parity++) {
            final int p = parity;
            Call call = new Call(c, i -> p < 0 || (i + p) % 2 == 0 ? Shape.NULL : Shape.EMPTY);
            if (call.shortOutput()) {
                // An empty digest or count array is refused before the component is reached.
                assertComFail(INVALID_ARG, () -> call.on(api));
                assertEquals(List.of(), calls(), "parity " + p);
            } else {
                call.reaches(api, "parity " + p);
            }
            qtokfixture.ScriptedComponent.reset();
        }
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("cases")
    void aFreshObjectRefusesEveryCallWhateverTheArrays(NativeMethod c) {
        qTokAPI fresh = new qTokAPI();
        for (Shape shape : new Shape[] {Shape.FULL, Shape.NULL, Shape.EMPTY}) {
            Call call = new Call(c, i -> shape);
            assertComFail(NO_OBJECT, () -> call.on(fresh));
        }
        assertEquals(List.of(), calls());
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("cases")
    void aZeroedEmptyOrMissingHolderHoldsNoObject(NativeMethod c) throws Throwable {
        qTokAPI api = ready();
        byte[] handle = api.handle, hash = api.hash;
        try {
            // The other object's holder stays: a call needs its own object, whatever the other.
            for (byte[] holder : new byte[][] {new byte[8], new byte[0], null}) {
                if (c.holder().equals("hash")) api.hash = holder; else api.handle = holder;
                assertComFail(NO_OBJECT, () -> new Call(c, i -> Shape.FULL).on(api));
                assertEquals(List.of(), calls());
                if (holder != null) {
                    assertArrayEquals(new byte[holder.length], holder, "a holder of no object is never written");
                }
                api.handle = handle;
                api.hash = hash;
            }
            // The object itself was left alone: with its holder back it is reached again.
            if (c.slot() > 8) {
                new Call(c, i -> Shape.FULL).on(api);
                assertEquals(1, calls().size());
            }
        } finally {
            api.handle = handle;
            api.hash = hash;
        }
    }
}
