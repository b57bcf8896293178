package qtokcom;

import qtokfixture.ComponentHarness;

/**
 * Base of the tests that run QTOKJNI against the scripted component, with the
 * byte helpers they share. Subclasses run only where QTOK_COMPONENT_LIBRARY names
 * the scripted component.
 */
abstract class ComponentTest extends ComponentHarness {
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
