package lumotool.camgripper;

import java.nio.ByteBuffer;
import java.util.Arrays;

/** A media subtype: 16 bytes in the GUID structure's memory layout, in a direct buffer. */
public class GUID {
    private final ByteBuffer buf;

    public GUID(ByteBuffer buf) {
        this.buf = buf;
    }

    public ByteBuffer getBuf() {
        return buf;
    }

    /** A GUID over a new direct buffer holding these 16 bytes. */
    public static GUID of(byte[] bytes) {
        ByteBuffer b = ByteBuffer.allocateDirect(bytes.length);
        b.put(bytes);
        b.rewind();
        return new GUID(b);
    }

    public byte[] bytes() {
        byte[] out = new byte[Math.min(16, buf.capacity())];
        for (int i = 0; i < out.length; i++) {
            out[i] = buf.get(i);
        }
        return out;
    }

    @Override
    public boolean equals(Object other) {
        return other instanceof GUID && Arrays.equals(bytes(), ((GUID) other).bytes());
    }

    @Override
    public int hashCode() {
        return Arrays.hashCode(bytes());
    }

    @Override
    public String toString() {
        byte[] b = bytes();
        if (b.length < 4) {
            return "?";
        }
        StringBuilder s = new StringBuilder();
        for (int i = 0; i < 4; i++) {
            char c = (char) (b[i] & 0xFF);
            s.append(Character.isLetterOrDigit(c) ? c : '?');
        }
        return s.toString();
    }
}
