package qtokcom;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.function.Executable;
import qtokfixture.ScriptedComponent;

/**
 * Base of the tests that run QTOKJNI against the scripted component. Every test
 * starts from a clean script and ends with every object it created released, no
 * object leaked and no call to the slots the binding must never use. Subclasses
 * run only where QTOK_COMPONENT_LIBRARY names the scripted component.
 */
abstract class ComponentTest {
    static final int TOKEN = ScriptedComponent.TOKEN;
    static final int HASH = ScriptedComponent.HASH;
    static final String NO_OBJECT = "ER: 0x80105001";

    private final List<qTokAPI> created = new ArrayList<>();
    private final List<String> history = new ArrayList<>();
    private int tokensBefore;
    private int hashesBefore;

    @BeforeEach
    void startClean() {
        ScriptedComponent.reset();
        tokensBefore = ScriptedComponent.liveObjects(TOKEN);
        hashesBefore = ScriptedComponent.liveObjects(HASH);
    }

    @AfterEach
    void releaseAndCheck() {
        history.addAll(ScriptedComponent.calls());
        ScriptedComponent.reset();
        for (qTokAPI api : created) {
            try {
                api.Uninit();
            } catch (ComFailException alreadyReleased) {
                // the test released it itself
            }
        }
        history.addAll(ScriptedComponent.calls());
        assertEquals(tokensBefore, ScriptedComponent.liveObjects(TOKEN), "token objects leaked");
        assertEquals(hashesBefore, ScriptedComponent.liveObjects(HASH), "hash objects leaked");
        for (String call : history) {
            assertTrue(!call.contains("(unused)") && !call.contains("AddRef"),
                    "the binding must not call " + call);
        }
    }

    /** A qTokAPI after a successful Init, with the log cleared. */
    qTokAPI ready() {
        qTokAPI api = new qTokAPI();
        api.Init();
        created.add(api);
        history.addAll(ScriptedComponent.calls());
        ScriptedComponent.reset();
        return api;
    }

    /** The calls logged since the last reset; kept for the end-of-test checks. */
    static List<String> calls() {
        return ScriptedComponent.calls();
    }

    static void assertComFail(String message, Executable call) {
        ComFailException e = assertThrows(ComFailException.class, call);
        assertEquals(message, e.getMessage());
    }

    static byte[] bytes(int... values) {
        byte[] b = new byte[values.length];
        for (int i = 0; i < values.length; i++) b[i] = (byte) values[i];
        return b;
    }

    static byte[] filled(int length, int value) {
        byte[] b = new byte[length];
        java.util.Arrays.fill(b, (byte) value);
        return b;
    }

    /** Bytes of a pattern that covers values above 127. */
    static byte[] pattern(int length, int seed) {
        byte[] b = new byte[length];
        for (int i = 0; i < length; i++) b[i] = (byte) (seed + 0x35 * i);
        return b;
    }

    static String hex(byte[] b) {
        StringBuilder s = new StringBuilder();
        for (int i = 0; i < b.length; i++) {
            if (i > 0) s.append(' ');
            s.append(String.format("%02x", b[i] & 0xFF));
        }
        return s.toString();
    }

    static byte[] littleEndian(int... values) {
        byte[] b = new byte[4 * values.length];
        for (int i = 0; i < values.length; i++) {
            for (int k = 0; k < 4; k++) b[4 * i + k] = (byte) (values[i] >>> (8 * k));
        }
        return b;
    }

    static long littleEndianLong(byte[] b) {
        long v = 0;
        for (int i = 7; i >= 0; i--) v = (v << 8) | (b[i] & 0xFF);
        return v;
    }
}
