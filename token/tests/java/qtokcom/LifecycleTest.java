package qtokcom;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;

import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.condition.EnabledIfEnvironmentVariable;
import qtokfixture.ScriptedComponent;

/** Init, Uninit, where the two objects are kept, and the two version queries. */
@EnabledIfEnvironmentVariable(named = "QTOK_COMPONENT_LIBRARY", matches = ".+")
class LifecycleTest extends ComponentTest {
    private static byte[] head(byte[] b) {
        return Arrays.copyOf(b, 8);
    }

    private static byte[] tail(byte[] b) {
        return Arrays.copyOfRange(b, 8, b.length);
    }

    @Test
    void initCreatesTokenThenHashAndKeepsThemLittleEndian() {
        qTokAPI api = new qTokAPI();
        api.handle = filled(12, 0x5A);
        api.hash = filled(11, 0xA5);
        int tokens = ScriptedComponent.liveObjects(TOKEN), hashes = ScriptedComponent.liveObjects(HASH);
        api.Init();
        try {
            assertEquals(List.of("create token", "create hash"), calls());
            assertEquals(ScriptedComponent.lastObject(TOKEN), littleEndianLong(head(api.handle)));
            assertEquals(ScriptedComponent.lastObject(HASH), littleEndianLong(head(api.hash)));
            assertArrayEquals(filled(4, 0x5A), tail(api.handle));
            assertArrayEquals(filled(3, 0xA5), tail(api.hash));
            assertEquals(tokens + 1, ScriptedComponent.liveObjects(TOKEN));
            assertEquals(hashes + 1, ScriptedComponent.liveObjects(HASH));
        } finally {
            api.Uninit();
        }
    }

    @Test
    void uninitReleasesHashThenTokenAndForgetsThem() {
        qTokAPI api = ready();
        byte[] handle = Arrays.copyOf(api.handle, 10);
        handle[8] = 0x11;
        handle[9] = 0x22;
        api.handle = handle;
        api.Uninit();
        assertEquals(List.of("hash.Release", "hash.destroyed", "token.Release", "token.destroyed"), calls());
        assertArrayEquals(new byte[] {0, 0, 0, 0, 0, 0, 0, 0, 0x11, 0x22}, api.handle);
        assertArrayEquals(new byte[8], api.hash);
        // Nothing reaches the released objects any more.
        ScriptedComponent.reset();
        assertComFail(NO_OBJECT, api::GetLibVersion);
        assertComFail(NO_OBJECT, () -> api.SMD5Hash(null, 0, null));
        assertComFail(NO_OBJECT, api::Uninit);
        assertEquals(List.of(), calls());
    }

    @Test
    void uninitOnAFreshObjectRaisesNoObject() {
        assertComFail(NO_OBJECT, () -> new qTokAPI().Uninit());
        assertEquals(List.of(), calls());
    }

    @Test
    void aFailedHashCreationReleasesTheTokenAndLeavesTheFields() {
        qTokAPI api = new qTokAPI();
        api.handle = pattern(8, 3);
        api.hash = pattern(9, 4);
        ScriptedComponent.creationResult(HASH, 0x80070005);
        assertComFail("ER: 0x80070005", api::Init);
        assertEquals(List.of("create token", "create hash", "token.Release", "token.destroyed"), calls());
        assertArrayEquals(pattern(8, 3), api.handle);
        assertArrayEquals(pattern(9, 4), api.hash);
    }

    @Test
    void aFailedTokenCreationCreatesNothingElse() {
        qTokAPI api = new qTokAPI();
        api.handle = pattern(8, 3);
        ScriptedComponent.creationResult(TOKEN, 0x8007000E);
        assertComFail("ER: 0x8007000e", api::Init);
        assertEquals(List.of("create token"), calls());
        assertArrayEquals(pattern(8, 3), api.handle);
        assertArrayEquals(new byte[8], api.hash);
    }

    @Test
    void holdersTooShortForAPointerAreRefusedWithoutWritingEither() {
        for (int which = 0; which < 3; which++) {
            qTokAPI api = new qTokAPI();
            byte[] shortOne = filled(7, 0x66);
            if (which == 0) api.handle = shortOne;
            if (which == 1) api.hash = shortOne;
            if (which == 2) api.handle = null;
            assertComFail("ER: 0x80070057", api::Init);
            assertEquals(List.of("create token", "create hash", "hash.Release", "hash.destroyed",
                    "token.Release", "token.destroyed"), calls());
            if (which != 1) assertArrayEquals(new byte[8], api.hash);
            if (which != 0 && which != 2) assertArrayEquals(new byte[8], api.handle);
            assertArrayEquals(filled(7, 0x66), shortOne);
            ScriptedComponent.reset();
        }
    }

    @Test
    void aHolderShorterThanAPointerHoldsNoObject() {
        qTokAPI api = ready();
        byte[] handle = api.handle;
        try {
            api.handle = Arrays.copyOf(handle, 7);
            assertComFail(NO_OBJECT, api::GetDriverVersion);
            assertComFail(NO_OBJECT, api::Uninit);
            api.handle = null;
            assertComFail(NO_OBJECT, api::CloseDevice);
            assertEquals(List.of(), calls());
        } finally {
            api.handle = handle;
        }
    }

    @Test
    void aSecondInitReleasesTheFirstPairAndAFailedOneKeepsIt() {
        qTokAPI api = ready();
        long first = littleEndianLong(api.handle);
        ScriptedComponent.creationResult(HASH, 0x80070005);
        assertComFail("ER: 0x80070005", api::Init);
        assertEquals(first, littleEndianLong(api.handle));
        api.CloseDevice();
        ScriptedComponent.reset();
        int tokens = ScriptedComponent.liveObjects(TOKEN);
        api.Init();
        assertEquals(List.of("create token", "create hash", "hash.Release", "hash.destroyed", "token.Release",
                "token.destroyed"), calls());
        assertEquals(tokens, ScriptedComponent.liveObjects(TOKEN));
        assertEquals(ScriptedComponent.lastObject(TOKEN), littleEndianLong(api.handle));
    }

    @Test
    void anObjectDroppedWithoutUninitIsReleasedByTheNextInit() throws InterruptedException {
        int tokens = ScriptedComponent.liveObjects(TOKEN);
        qTokAPI dropped = new qTokAPI();
        dropped.Init();
        java.lang.ref.WeakReference<qTokAPI> gone = new java.lang.ref.WeakReference<>(dropped);
        dropped = null;
        for (int i = 0; i < 100 && gone.get() != null; i++) {
            System.gc();
            Thread.sleep(10);
        }
        assertEquals(null, gone.get(), "the JVM collects the dropped object");
        assertEquals(tokens + 1, ScriptedComponent.liveObjects(TOKEN));
        ready();
        assertEquals(tokens + 1, ScriptedComponent.liveObjects(TOKEN));
    }

    @Test
    void eachObjectHoldsItsOwnPair() {
        qTokAPI a = ready(), b = ready();
        assertNotEquals(littleEndianLong(a.handle), littleEndianLong(b.handle));
        assertNotEquals(littleEndianLong(a.hash), littleEndianLong(b.hash));
        // A pair is its object's: copied into another object, or into the other
        // field, it reaches nothing, before and after its own object's Uninit.
        qTokAPI copy = new qTokAPI();
        copy.handle = a.handle.clone();
        copy.hash = a.hash.clone();
        assertComFail(NO_OBJECT + " CloseFile: no token object", copy::CloseFile);
        assertComFail(NO_OBJECT + " SMD5Hash: no hash object", () -> copy.SMD5Hash(null, 0, null));
        byte[] handle = a.handle;
        a.handle = a.hash.clone();
        assertComFail(NO_OBJECT, a::CloseFile);
        a.handle = handle;
        a.Uninit();
        assertComFail(NO_OBJECT, copy::CloseFile);
        assertComFail(NO_OBJECT, copy::Uninit);
        b.CloseFile();
        assertEquals("token.36()", calls().get(calls().size() - 1));
    }

    @Test
    void versionQueriesReturnWhatTheComponentWrote() {
        qTokAPI api = ready();
        ScriptedComponent.write(TOKEN, 7, 0, littleEndian(0x01020304));
        ScriptedComponent.write(TOKEN, 8, 0, littleEndian(-5));
        ScriptedComponent.capture(TOKEN, 7, 0, 4);
        assertEquals(0x01020304, api.GetLibVersion());
        assertEquals(-5, api.GetDriverVersion());
        assertEquals(List.of("token.7(*[00 00 00 00])", "token.8(*)"), calls());

        ScriptedComponent.respond(TOKEN, 8, 1);
        assertEquals(-5, api.GetDriverVersion());
        ScriptedComponent.respond(TOKEN, 7, 0x80100001);
        assertComFail("ER: 0x80100001", api::GetLibVersion);
        ScriptedComponent.respond(TOKEN, 8, 0xC0000000);
        assertComFail("ER: 0xc0000000", api::GetDriverVersion);
        assertComFail(NO_OBJECT, () -> new qTokAPI().GetLibVersion());
        assertComFail(NO_OBJECT, () -> new qTokAPI().GetDriverVersion());
    }
}
