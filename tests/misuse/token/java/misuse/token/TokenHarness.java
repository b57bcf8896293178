package misuse.token;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.AfterEach;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.function.Executable;
import qtokcom.ComFailException;
import qtokcom.qTokAPI;
import qtokfixture.ScriptedComponent;

/**
 * Base of the misuse tests over the scripted component: every test starts from a
 * clean script, and ends with each object it made released, nothing leaked and no
 * call the binding must never make.
 */
abstract class TokenHarness {
    static final int TOKEN = ScriptedComponent.TOKEN;
    static final int HASH = ScriptedComponent.HASH;
    static final String NO_OBJECT = "ER: 0x80105001";
    static final String INVALID_ARG = "ER: 0x80070057";

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
            } catch (ComFailException released) {
                // the test released it itself
            }
        }
        history.addAll(ScriptedComponent.calls());
        assertEquals(tokensBefore, ScriptedComponent.liveObjects(TOKEN), "token objects leaked");
        assertEquals(hashesBefore, ScriptedComponent.liveObjects(HASH), "hash objects leaked");
        for (String call : history) {
            assertTrue(!call.contains("(unused)") && !call.contains("AddRef"), "the binding must not call " + call);
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

    static List<String> calls() {
        return ScriptedComponent.calls();
    }

    static void assertComFail(String message, Executable call) {
        ComFailException e = assertThrows(ComFailException.class, call);
        assertEquals(message, e.getMessage());
    }

    /** Calls a method of qTokAPI by name, rethrowing what the native method raised. */
    static Object invoke(qTokAPI api, String name, Class<?>[] types, Object[] args) throws Throwable {
        Method m = qTokAPI.class.getMethod(name, types);
        try {
            return m.invoke(api, args);
        } catch (InvocationTargetException e) {
            throw e.getCause();
        }
    }

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
}
