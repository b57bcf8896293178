package qtokcom;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.condition.DisabledIfEnvironmentVariable;

/** Without a component configured, Init fails as for a class nobody registered. */
@DisabledIfEnvironmentVariable(named = "QTOK_COMPONENT_LIBRARY", matches = ".+")
class NoComponentTest {
    @Test
    void initRaisesClassNotRegistered() {
        qTokAPI api = new qTokAPI();
        ComFailException e = assertThrows(ComFailException.class, api::Init);
        assertEquals("ER: 0x80040154 Init: REGDB_E_CLASSNOTREG: QTOK_COMPONENT_LIBRARY is not set;"
                + " it names the component's library", e.getMessage());
        assertArrayEquals(new byte[8], api.handle);
        assertArrayEquals(new byte[8], api.hash);
        e = assertThrows(ComFailException.class, api::GetLibVersion);
        assertEquals("ER: 0x80105001 GetLibVersion: no token object: Init has not run on this object, or Uninit has",
                e.getMessage());
    }
}
