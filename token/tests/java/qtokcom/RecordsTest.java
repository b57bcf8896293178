package qtokcom;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.lang.reflect.Field;
import java.util.List;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.api.condition.EnabledIfEnvironmentVariable;
import qtokfixture.ScriptedComponent;

/** The five record layouts and when records cross between Java and the component. */
@EnabledIfEnvironmentVariable(named = "QTOK_COMPONENT_LIBRARY", matches = ".+")
class RecordsTest extends ComponentTest {
    /** name, 'I' or 'B', byte offset: the packed layout the component sees. */
    record Slot(String name, char type, int offset) {}

    record Layout(Class<?> type, int size, List<Slot> fields) {
        Object create() throws ReflectiveOperationException {
            return type.getConstructor().newInstance();
        }
    }

    static final Layout FILE_INFO = new Layout(FileInfo.class, 44, List.of(
            new Slot("lId", 'I', 0), new Slot("lFlags", 'I', 4), new Slot("lFileSize", 'I', 8),
            new Slot("chFileType", 'B', 12), new Slot("chReadAccess", 'B', 13),
            new Slot("chWriteAccess", 'B', 14), new Slot("chCryptAccess", 'B', 15),
            new Slot("lReserved1", 'I', 16), new Slot("lReserved2", 'I', 20),
            new Slot("lReserved3", 'I', 24), new Slot("chGrantedAccess", 'B', 28),
            new Slot("chReserved1", 'B', 29), new Slot("chReserved2", 'B', 30),
            new Slot("chReserved3", 'B', 31), new Slot("lReserved4", 'I', 32),
            new Slot("lReserved5", 'I', 36), new Slot("lReserved6", 'I', 40)));

    static final Layout DIR_INFO = new Layout(DirInfo.class, 48, List.of(
            new Slot("lId", 'I', 0), new Slot("lFlags", 'I', 4), new Slot("lMaxSize", 'I', 8),
            new Slot("lMaxEntries", 'I', 12), new Slot("lReserved1", 'I', 16),
            new Slot("lReserved2", 'I', 20), new Slot("lReserved3", 'I', 24),
            new Slot("lReserved4", 'I', 28), new Slot("lReserved5", 'I', 32),
            new Slot("lReserved6", 'I', 36), new Slot("lReserved7", 'I', 40),
            new Slot("lReserved8", 'I', 44)));

    static final Layout ACCESS_INFO = new Layout(AccessInfo.class, 16, List.of(
            new Slot("chMaxPinRetries", 'B', 0), new Slot("chCurPinCounter", 'B', 1),
            new Slot("chFlags", 'B', 2), new Slot("chReserved2", 'B', 3),
            new Slot("chCreateAccess", 'B', 4), new Slot("chDeleteAccess", 'B', 5),
            new Slot("chReserved3", 'B', 6), new Slot("chReserved4", 'B', 7),
            new Slot("chReserved5", 'B', 8), new Slot("chReserved6", 'B', 9),
            new Slot("chReserved7", 'B', 10), new Slot("chReserved8", 'B', 11),
            new Slot("chReserved9", 'B', 12), new Slot("chReserved10", 'B', 13),
            new Slot("chReserved11", 'B', 14), new Slot("chReserved12", 'B', 15)));

    static final Layout SYS_INFO = new Layout(SysInfo.class, 32, List.of(
            new Slot("lFlags", 'I', 0), new Slot("lFreeSpace", 'I', 4),
            new Slot("lReserved1", 'I', 8), new Slot("lReserved2", 'I', 12),
            new Slot("chFileSysType", 'B', 16), new Slot("chMaxDirLevels", 'B', 17),
            new Slot("chReserved1", 'B', 18), new Slot("chReserved2", 'B', 19),
            new Slot("lReserved3", 'I', 20), new Slot("lReserved4", 'I', 24),
            new Slot("lReserved5", 'I', 28)));

    static final Layout VERSION_INFO = new Layout(VersionInfo.class, 8, List.of(
            new Slot("lDriverVersion", 'I', 0), new Slot("chFwVersionMajor", 'B', 4),
            new Slot("chFwVersionMinor", 'B', 5), new Slot("chProductCode", 'B', 6),
            new Slot("chConfiguration", 'B', 7)));

    interface Invocation {
        void call(qTokAPI api, Object record);
    }

    enum Direction { IN, OUT, IN_OUT }

    /** A method that exchanges a record: its slot and the record's argument position. */
    record Method(String name, int slot, int recordArg, Direction direction, Layout layout,
                  Invocation invocation) {
        @Override
        public String toString() {
            return name;
        }
    }

    static final List<Method> METHODS = List.of(
            new Method("OpenFile", 35, 2, Direction.OUT, FILE_INFO, (a, r) -> a.OpenFile(3, 4, r)),
            new Method("Directory", 32, 2, Direction.OUT, FILE_INFO, (a, r) -> a.Directory(3, 4, r)),
            new Method("GetFileInfo", 25, 3, Direction.OUT, FILE_INFO,
                    (a, r) -> a.GetFileInfo(3, 4, new byte[4], r)),
            new Method("CreateFile", 33, 1, Direction.IN, FILE_INFO, (a, r) -> a.CreateFile(3, r)),
            new Method("CreateDir", 30, 3, Direction.IN_OUT, DIR_INFO,
                    (a, r) -> a.CreateDir(3, new byte[4], new byte[4], r)),
            new Method("SetAccessInfo", 22, 1, Direction.IN, ACCESS_INFO, (a, r) -> a.SetAccessInfo(3, r)),
            new Method("GetAccessInfo", 21, 1, Direction.OUT, ACCESS_INFO, (a, r) -> a.GetAccessInfo(3, r)),
            new Method("GetSysInfo", 24, 0, Direction.OUT, SYS_INFO, (a, r) -> a.GetSysInfo(r)),
            new Method("GetVersionInfo", 23, 0, Direction.OUT, VERSION_INFO, (a, r) -> a.GetVersionInfo(r)));

    static Stream<Method> methods() {
        return METHODS.stream();
    }

    static Stream<Method> filling() {
        return METHODS.stream().filter(m -> m.direction != Direction.IN);
    }

    static Stream<Method> sending() {
        return METHODS.stream().filter(m -> m.direction != Direction.OUT);
    }

    /** Sets every field of a record from the bytes of a buffer of its layout. */
    static void setFrom(Layout layout, Object record, byte[] buffer) throws ReflectiveOperationException {
        for (Slot s : layout.fields) {
            Field f = layout.type.getField(s.name);
            if (s.type == 'I') f.setInt(record, valueAt(buffer, s.offset));
            else f.setByte(record, buffer[s.offset]);
        }
    }

    static int valueAt(byte[] b, int offset) {
        return (b[offset] & 0xFF) | (b[offset + 1] & 0xFF) << 8 | (b[offset + 2] & 0xFF) << 16
                | (b[offset + 3] & 0xFF) << 24;
    }

    /** Asserts that every field of a record holds what the buffer holds at its offset. */
    static void assertHolds(Layout layout, Object record, byte[] buffer) throws ReflectiveOperationException {
        for (Slot s : layout.fields) {
            Field f = layout.type.getField(s.name);
            if (s.type == 'I') assertEquals(valueAt(buffer, s.offset), f.getInt(record), s.name);
            else assertEquals(buffer[s.offset], f.getByte(record), s.name);
        }
    }

    static String callWith(Method m, byte[] record) {
        StringBuilder s = new StringBuilder("token." + m.slot + "(");
        int arity = m.name.equals("GetFileInfo") || m.name.equals("CreateDir") ? 4
                : m.recordArg + 1;
        for (int i = 0; i < arity; i++) {
            if (i > 0) s.append(", ");
            if (i == m.recordArg) s.append("*[").append(hex(record)).append("]");
            else if (m.name.equals("GetFileInfo") && i == 2) s.append("*");
            else if (m.name.equals("CreateDir")) s.append(i == 0 ? "3" : "*");
            else s.append(i == 0 ? "3" : "4");
        }
        return s.append(")").toString();
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("filling")
    void fillsEveryFieldFromItsOffsetAfterSuccess(Method m) throws Exception {
        qTokAPI api = ready();
        for (int result : new int[] {0, 1}) {
            byte[] filled = pattern(m.layout.size, 0x81 + result);
            ScriptedComponent.write(TOKEN, m.slot, m.recordArg, filled);
            ScriptedComponent.respond(TOKEN, m.slot, result);
            Object record = m.layout.create();
            setFrom(m.layout, record, pattern(m.layout.size, 0x33));
            m.invocation.call(api, record);
            assertHolds(m.layout, record, filled);
        }
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("filling")
    void keepsTheRecordWhenTheCallFails(Method m) throws Exception {
        qTokAPI api = ready();
        byte[] before = pattern(m.layout.size, 0x44);
        ScriptedComponent.write(TOKEN, m.slot, m.recordArg, pattern(m.layout.size, 0x81));
        ScriptedComponent.respond(TOKEN, m.slot, 0x80100004);
        Object record = m.layout.create();
        setFrom(m.layout, record, before);
        assertComFail("ER: 0x80100004", () -> m.invocation.call(api, record));
        assertHolds(m.layout, record, before);

        assertComFail(NO_OBJECT, () -> m.invocation.call(new qTokAPI(), record));
        assertHolds(m.layout, record, before);
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("methods")
    void handsTheComponentTheRecordOrAZeroFilledBuffer(Method m) throws Exception {
        qTokAPI api = ready();
        byte[] values = pattern(m.layout.size, 0x92);
        Object record = m.layout.create();
        setFrom(m.layout, record, values);
        m.invocation.call(api, record);
        byte[] seen = m.direction == Direction.OUT ? new byte[m.layout.size] : values;
        assertEquals(List.of(callWith(m, seen)), calls());
    }

    @Test
    void createFileNeverWritesBack() throws Exception {
        qTokAPI api = ready();
        byte[] values = pattern(44, 0x17);
        FileInfo record = new FileInfo();
        setFrom(FILE_INFO, record, values);
        ScriptedComponent.write(TOKEN, 33, 1, pattern(44, 0xC1));
        api.CreateFile(5, record);
        assertHolds(FILE_INFO, record, values);
    }

    @Test
    void setAccessInfoNeverWritesBack() throws Exception {
        qTokAPI api = ready();
        AccessInfo record = new AccessInfo();
        record.chReserved2 = 0x33;
        record.chMaxPinRetries = -1;
        ScriptedComponent.write(TOKEN, 22, 1, filled(16, 0x55));
        api.SetAccessInfo(5, record);
        assertEquals(List.of("token.22(5, *[ff 00 00 33 00 00 00 00 00 00 00 00 00 00 00 00])"), calls());
        assertEquals(0x33, record.chReserved2);
        assertEquals(-1, record.chMaxPinRetries);
        assertEquals(0, record.chCreateAccess);
    }

    @Test
    void versionInfoReadsAsTheLittleEndianRecord() {
        qTokAPI api = ready();
        ScriptedComponent.write(TOKEN, 23, 0, bytes(0x01, 0x02, 0x00, 0x00, 0x03, 0x04, 0x05, 0x06));
        VersionInfo v = new VersionInfo();
        api.GetVersionInfo(v);
        assertEquals(513, v.lDriverVersion);
        assertEquals(List.of(3, 4, 5, 6), List.of((int) v.chFwVersionMajor, (int) v.chFwVersionMinor,
                (int) v.chProductCode, (int) v.chConfiguration));
    }

    @Test
    void bytesAbove127ReadAsNegative() {
        qTokAPI api = ready();
        byte[] b = new byte[16];
        b[0] = (byte) 255;
        b[3] = (byte) 128;
        ScriptedComponent.write(TOKEN, 21, 1, b);
        AccessInfo a = new AccessInfo();
        api.GetAccessInfo(1, a);
        assertEquals(-1, a.chMaxPinRetries);
        assertEquals(-128, a.chReserved2);
    }

    @Test
    void createDirSendsTheRecordAndTakesBackAllTwelveFields() throws Exception {
        qTokAPI api = ready();
        DirInfo d = new DirInfo();
        setFrom(DIR_INFO, d, pattern(48, 0x05));
        byte[] after = pattern(48, 0xE1);
        ScriptedComponent.write(TOKEN, 30, 3, after);
        api.CreateDir(1, null, null, d);
        assertEquals(List.of("token.30(1, null, null, *[" + hex(pattern(48, 0x05)) + "])"), calls());
        assertHolds(DIR_INFO, d, after);
    }

    /** Any class declaring the fields will do; extra fields are left alone. */
    public static class ClientVersion {
        public int lDriverVersion;
        public byte chFwVersionMajor, chFwVersionMinor, chProductCode, chConfiguration;
        public int unrelated = 77;
    }

    @Test
    void acceptsAnyClassWithTheFields() {
        qTokAPI api = ready();
        ScriptedComponent.write(TOKEN, 23, 0, bytes(9, 0, 0, 0, 1, 2, 3, 4));
        ClientVersion v = new ClientVersion();
        api.GetVersionInfo(v);
        assertEquals(9, v.lDriverVersion);
        assertEquals(4, v.chConfiguration);
        assertEquals(77, v.unrelated);
    }

    /** Lacks lReserved6; chFileType has the wrong type. */
    public static class IncompleteFileInfo {
        public int lId, lFlags, lFileSize;
        public byte chFileType, chReadAccess, chWriteAccess, chCryptAccess;
        public int lReserved1, lReserved2, lReserved3;
        public byte chGrantedAccess, chReserved1, chReserved2, chReserved3;
        public int lReserved4, lReserved5;
    }

    public static class WrongTypeVersion {
        public long lDriverVersion = 5;
        public byte chFwVersionMajor, chFwVersionMinor, chProductCode, chConfiguration;
    }

    @Test
    void aRecordClassLackingAFieldRaisesTheJvmErrorBeforeAnyCall() {
        qTokAPI api = ready();
        ScriptedComponent.write(TOKEN, 35, 2, pattern(44, 1));
        IncompleteFileInfo f = new IncompleteFileInfo();
        NoSuchFieldError e = assertThrows(NoSuchFieldError.class, () -> api.OpenFile(1, 2, f));
        assertTrue(e.getMessage().contains("lReserved6"), e.getMessage());
        assertThrows(NoSuchFieldError.class, () -> api.CreateFile(1, f));
        assertThrows(NoSuchFieldError.class,
                () -> api.GetFileInfo(1, 2, new byte[4], f));
        WrongTypeVersion w = new WrongTypeVersion();
        assertThrows(NoSuchFieldError.class, () -> api.GetVersionInfo(w));
        assertEquals(List.of(), calls());
        assertEquals(0, f.lId);
        assertEquals(5, w.lDriverVersion);
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("methods")
    void aNullRecordRaisesEPointerWithoutACall(Method m) {
        qTokAPI api = ready();
        assertComFail("ER: 0x80004003", () -> m.invocation.call(api, null));
        assertEquals(List.of(), calls());
    }
}
