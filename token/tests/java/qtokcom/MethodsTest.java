package qtokcom;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertDoesNotThrow;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import qtokfixture.NativeMethod;
import java.util.stream.Stream;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.api.condition.EnabledIfEnvironmentVariable;
import qtokfixture.ScriptedComponent;

/**
 * Every native method but Init, Uninit and the version queries, driven from one
 * table: which object and slot it reaches, with which arguments in which order,
 * and how it reports results.
 */
@EnabledIfEnvironmentVariable(named = "QTOK_COMPONENT_LIBRARY", matches = ".+")
class MethodsTest extends ComponentTest {
    // The methods and their parameters (NativeMethod).
    static final List<NativeMethod> CASES = NativeMethod.ALL;

    static Stream<NativeMethod> cases() {
        return CASES.stream();
    }

    static Stream<NativeMethod> casesWithArrays() {
        return CASES.stream().filter(NativeMethod::hasArrays);
    }

    static Stream<NativeMethod> casesWithChecks() {
        return CASES.stream().filter(NativeMethod::hasChecks);
    }

    static final int[] INTS = {-7, Integer.MAX_VALUE, Integer.MIN_VALUE, 42, 0x12345678, -1, 99};
    static final int RECORD_SIZE_F = 44, RECORD_SIZE_D = 48, RECORD_SIZE_A = 16;
    static final int RECORD_SIZE_S = 32, RECORD_SIZE_V = 8;

    /** The arguments of one call, built from a case's parameter list. */
    static final class Call {
        final NativeMethod c;
        final Object[] args;
        final Class<?>[] types;

        Call(NativeMethod c, boolean nullArrays) {
            this.c = c;
            int n = c.params().length();
            args = new Object[n];
            types = new Class<?>[n];
            for (int i = 0; i < n; i++) {
                switch (c.params().charAt(i)) {
                    case 'I' -> { types[i] = int.class; args[i] = INTS[i]; }
                    // All of the array before it; a null array's length is the component's business.
                    case 'L' -> { types[i] = int.class; args[i] = args[i - 1] == null ? 3 : length(args[i - 1]); }
                    // 16 bytes or more, growing: the digests need 16, a result the longer input.
                    case 'B', 'C', 'G', 'X' -> { types[i] = byte[].class; args[i] = nullArrays ? null : pattern(16 + i, 0x10 * i + 1); }
                    case 'N', 'K' -> { types[i] = int[].class; args[i] = nullArrays ? null : new int[] {0x01020304 * (i + 1), -(i + 1)}; }
                    case 'F', 'D', 'A', 'S', 'V' -> { types[i] = Object.class; args[i] = NativeMethod.record(c.params().charAt(i)); }
                    default -> throw new IllegalArgumentException(c.params());
                }
            }
        }

        static int length(Object array) {
            return array instanceof byte[] b ? b.length : ((int[]) array).length;
        }

        void on(qTokAPI api) throws Throwable {
            Method m = qTokAPI.class.getMethod(c.method(), types);
            try {
                m.invoke(api, args);
            } catch (InvocationTargetException e) {
                throw e.getCause();
            }
        }

        /** Makes the call, which reaches the component as this line and nothing else. */
        void reaches(qTokAPI api) throws Throwable {
            on(api);
            assertEquals(List.of(expectedLine()), calls());
        }

        /** Asks the component to log the whole of every array argument. */
        void captureArrays() {
            for (int i = 0; i < args.length; i++) {
                if (args[i] instanceof byte[] b) ScriptedComponent.capture(c.kind(), c.slot(), i, b.length);
                if (args[i] instanceof int[] n) ScriptedComponent.capture(c.kind(), c.slot(), i, 4 * n.length);
            }
        }

        /** The line the component should log for this call. */
        String expectedLine() {
            List<String> parts = new ArrayList<>();
            for (int i = 0; i < args.length; i++) {
                Object a = args[i];
                char p = c.params().charAt(i);
                if (p == 'I' || p == 'L') {
                    parts.add(Integer.toString((Integer) a));
                } else if (a == null) {
                    parts.add("null");
                } else if (a instanceof byte[] b) {
                    parts.add("*[" + hex(b) + "]");
                } else if (a instanceof int[] n) {
                    parts.add("*[" + hex(littleEndian(n)) + "]");
                } else {
                    // A fresh record: all fields zero, and out-records go zero-filled.
                    int size = switch (p) {
                        case 'F' -> RECORD_SIZE_F;
                        case 'D' -> RECORD_SIZE_D;
                        case 'A' -> RECORD_SIZE_A;
                        case 'S' -> RECORD_SIZE_S;
                        default -> RECORD_SIZE_V;
                    };
                    parts.add("*[" + hex(new byte[size]) + "]");
                }
            }
            String object = c.kind() == TOKEN ? "token" : "hash";
            return object + "." + c.slot() + "(" + String.join(", ", parts) + ")";
        }
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("cases")
    void reachesItsSlotWithTheArgumentsInOrder(NativeMethod c) throws Throwable {
        qTokAPI api = ready();
        Call call = new Call(c, false);
        call.captureArrays();
        call.reaches(api);
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("cases")
    void needsItsOwnObjectOnly(NativeMethod c) throws Throwable {
        qTokAPI api = ready();
        byte[] handle = api.handle, hash = api.hash;
        try {
            // Without the other object the call still goes through (without its own it
            // does not: ArgumentsMisuseTest).
            if (c.kind() == TOKEN) api.hash = new byte[8]; else api.handle = new byte[8];
            new Call(c, false).on(api);
            assertEquals(1, calls().size());
        } finally {
            api.handle = handle;
            api.hash = hash;
        }
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("cases")
    void raisesEveryNegativeResultAsItsHexCode(NativeMethod c) {
        qTokAPI api = ready();
        int[] results = {0x80004005, 0x8ABCDEF0, -1, Integer.MIN_VALUE};
        String[] messages = {"ER: 0x80004005", "ER: 0x8abcdef0", "ER: 0xffffffff", "ER: 0x80000000"};
        for (int i = 0; i < results.length; i++) {
            ScriptedComponent.respond(c.kind(), c.slot(), results[i]);
            assertComFail(messages[i], () -> new Call(c, false).on(api));
            assertEquals(14, messages[i].length());
        }
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("cases")
    void countsEveryNonNegativeResultAsSuccess(NativeMethod c) {
        qTokAPI api = ready();
        for (int result : new int[] {1, 2, Integer.MAX_VALUE}) {
            ScriptedComponent.respond(c.kind(), c.slot(), result);
            assertDoesNotThrow(() -> new Call(c, false).on(api));
        }
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("casesWithArrays")
    void showsWhatTheComponentWroteIntoArraysAfterSuccessAndFailure(NativeMethod c) throws Throwable {
        qTokAPI api = ready();
        for (int result : new int[] {0, 1, 0x80070005}) {
            Call call = new Call(c, false);
            List<byte[]> written = new ArrayList<>();
            for (int i = 0; i < call.args.length; i++) {
                byte[] w = null;
                if (call.args[i] instanceof byte[] b) w = pattern(b.length, 0xA0 + 7 * i + result);
                if (call.args[i] instanceof int[] n) w = pattern(4 * n.length, 0x90 + 3 * i + result);
                if (w != null) ScriptedComponent.write(c.kind(), c.slot(), i, w);
                written.add(w);
            }
            ScriptedComponent.respond(c.kind(), c.slot(), result);
            if (result < 0) {
                assertComFail("ER: 0x80070005", () -> call.on(api));
            } else {
                call.on(api);
            }
            for (int i = 0; i < call.args.length; i++) {
                // A code goes in only: what the component did to its copy stays there.
                if (c.params().charAt(i) == 'C') {
                    assertArrayEquals(pattern(16 + i, 0x10 * i + 1), (byte[]) call.args[i], "code " + i);
                } else if (call.args[i] instanceof byte[] b) {
                    assertArrayEquals(written.get(i), b, "argument " + i);
                }
                if (call.args[i] instanceof int[] n) assertArrayEquals(written.get(i), littleEndian(n), "argument " + i);
            }
        }
    }

    /** The arguments that break one check, and the reason the message gives for each. */
    static Map<Object, String> faultsAt(Call call, int i) {
        Map<Object, String> faults = new LinkedHashMap<>();
        String at = "p" + (i + 1);
        switch (call.c.params().charAt(i)) {
            case 'L' -> {
                int elements = Call.length(call.args[i - 1]);
                faults.put(-1, at + " (-1) is negative");
                faults.put(elements + 1, at + " (" + (elements + 1) + ") is more than the " + elements + " elements of p" + i);
            }
            case 'G' -> faults.put(new byte[15], at + " has 15 bytes; the digest takes 16");
            case 'K' -> faults.put(new int[0], at + " has 0 elements; the count takes 1");
            case 'X' -> {
                int longest = Math.max((Integer) call.args[1], (Integer) call.args[3]);
                faults.put(new byte[longest - 1], at + " has " + (longest - 1) + " bytes; the result of the longer input takes " + longest);
            }
            default -> { }
        }
        return faults;
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("casesWithChecks")
    void refusesALengthBeyondItsArrayAndAShortOutputWithoutCallingTheComponent(NativeMethod c) {
        qTokAPI api = ready();
        for (int i = 0; i < c.params().length(); i++) {
            for (Map.Entry<Object, String> fault : faultsAt(new Call(c, false), i).entrySet()) {
                Call call = new Call(c, false);
                call.args[i] = fault.getKey();
                ComFailException e = assertThrows(ComFailException.class, () -> call.on(api));
                assertEquals("ER: 0x80070057 " + c.method() + ": E_INVALIDARG: " + fault.getValue(), e.getMessage());
                assertEquals(List.of(), calls(), fault.getValue());
            }
        }
    }
}
