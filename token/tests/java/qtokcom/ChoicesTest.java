package qtokcom;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.condition.EnabledIfEnvironmentVariable;
import qtokfixture.ScriptedComponent;

/** The 16-byte digests, and faults of the component kept away from the JVM. */
@EnabledIfEnvironmentVariable(named = "QTOK_COMPONENT_LIBRARY", matches = ".+")
class ChoicesTest extends ComponentTest {
    @Test
    void md5HmacCopiesTheDigestAndKeepsWhatFollows() {
        qTokAPI api = ready();
        byte[] digest = filled(20, 0x77);
        ScriptedComponent.write(TOKEN, 17, 4, pattern(20, 9));
        api.MD5HMAC(1, 2, bytes(1, 2, 3), 3, digest);
        assertArrayEquals(pattern(20, 9), digest);
    }

    @Test
    void smd5HmacCopiesTheDigest() {
        qTokAPI api = ready();
        byte[] digest = new byte[16];
        ScriptedComponent.write(HASH, 8, 6, pattern(16, 0xF0));
        api.SMD5HMAC(null, 1, bytes(1), 1, null, null, digest);
        assertArrayEquals(pattern(16, 0xF0), digest);
        assertEquals(List.of("hash.8(null, 1, *, 1, null, null, *)"), calls());
    }

    @Test
    void aDigestArrayShorterThan16BytesIsRefusedBeforeTheComponent() {
        qTokAPI api = ready();
        byte[] key = bytes(1, 2, 3);
        byte[] shortDigest = filled(15, 0x42);
        ScriptedComponent.write(TOKEN, 17, 4, pattern(16, 1));
        ScriptedComponent.write(HASH, 8, 6, pattern(16, 1));
        assertComFail("ER: 0x80070057", () -> api.MD5HMAC(1, 2, key, 3, shortDigest));
        assertComFail("ER: 0x80070057", () -> api.SMD5HMAC(key, 1, key, 1, key, key, shortDigest));
        assertEquals(List.of(), calls());
        assertArrayEquals(filled(15, 0x42), shortDigest);
        assertArrayEquals(bytes(1, 2, 3), key);
        // A missing object still comes first.
        assertComFail(NO_OBJECT, () -> new qTokAPI().MD5HMAC(1, 2, key, 3, shortDigest));
    }

    @Test
    void aNullDigestArrayPassesAsNull() {
        qTokAPI api = ready();
        api.MD5HMAC(1, 2, null, 3, null);
        assertEquals(List.of("token.17(1, 2, null, 3, null)"), calls());
    }

    @Test
    void aFailedHmacLeavesTheDigestCopyOutButTheArrayReleased() {
        qTokAPI api = ready();
        byte[] digest = new byte[16];
        ScriptedComponent.write(TOKEN, 17, 4, pattern(8, 0x21));
        ScriptedComponent.respond(TOKEN, 17, 0x80090005);
        assertComFail("ER: 0x80090005", () -> api.MD5HMAC(1, 2, null, 3, digest));
        byte[] expected = Arrays.copyOf(pattern(8, 0x21), 16);
        assertArrayEquals(expected, digest);
    }

    @Test
    void aCppExceptionFromTheComponentBecomesComFail() {
        qTokAPI api = ready();
        ScriptedComponent.throwFrom(TOKEN, 37);
        byte[] data = filled(4, 1);
        int[] count = {4};
        assertComFail("ER: 0x8007000e", () -> api.Read(1, 2, data, 4, count));
        ScriptedComponent.throwFrom(HASH, 10);
        assertComFail("ER: 0x8007000e", () -> api.SMD5XOR(data, 1, null, 2, data));
        // The arrays went back and the library still works.
        ScriptedComponent.reset();
        api.Read(1, 2, data, 4, count);
        assertEquals(1, calls().size());
    }
}
