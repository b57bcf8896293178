package misuse.token;

import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import qtokcom.qTokAPI;
import qtokfixture.ComponentHarness;

/** Base of the misuse tests over the scripted component. */
abstract class TokenHarness extends ComponentHarness {
    static final String INVALID_ARG = "ER: 0x80070057";

    /** Calls a method of qTokAPI by name, rethrowing what the native method raised. */
    static Object invoke(qTokAPI api, String name, Class<?>[] types, Object[] args) throws Throwable {
        Method m = qTokAPI.class.getMethod(name, types);
        try {
            return m.invoke(api, args);
        } catch (InvocationTargetException e) {
            throw e.getCause();
        }
    }
}
