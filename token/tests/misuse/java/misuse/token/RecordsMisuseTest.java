package misuse.token;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.lang.reflect.Field;
import java.util.ArrayList;
import java.util.List;
import java.util.function.Supplier;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.condition.EnabledIfEnvironmentVariable;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import qtokcom.AccessInfo;
import qtokcom.DirInfo;
import qtokcom.FileInfo;
import qtokcom.SysInfo;
import qtokcom.VersionInfo;
import qtokcom.qTokAPI;
import qtokfixture.ScriptedComponent;

/**
 * The nine methods that exchange a record, given objects that are not records of
 * the layout: every field is looked up before the component is called and before
 * anything is written back, and the JVM's own NoSuchFieldError reaches the caller.
 */
@EnabledIfEnvironmentVariable(named = "QTOK_COMPONENT_LIBRARY", matches = ".+")
class RecordsMisuseTest extends TokenHarness {
    interface Invocation {
        void call(qTokAPI api, Object record);
    }

    /** A record method: its slot, the record's argument position and size, and whether it writes back. */
    record Method(String name, int slot, int recordArg, int size, boolean writesBack,
                  Supplier<Object> lastFieldWrong, Supplier<Object> otherLayout,
                  Supplier<Object> subclass, Invocation invocation) {
        @Override
        public String toString() {
            return name;
        }
    }

    // The real layouts with their last field of another type, and the first field
    // holding a marker that must survive a refused call.
    public static class FileInfoWideLast {
        public int lId = 77, lFlags, lFileSize;
        public byte chFileType, chReadAccess, chWriteAccess, chCryptAccess;
        public int lReserved1, lReserved2, lReserved3;
        public byte chGrantedAccess, chReserved1, chReserved2, chReserved3;
        public int lReserved4, lReserved5;
        public long lReserved6;
    }

    public static class DirInfoWideLast {
        public int lId = 77, lFlags, lMaxSize, lMaxEntries;
        public int lReserved1, lReserved2, lReserved3, lReserved4;
        public int lReserved5, lReserved6, lReserved7;
        public long lReserved8;
    }

    public static class AccessInfoWideLast {
        public byte chMaxPinRetries = 77, chCurPinCounter, chFlags, chReserved2;
        public byte chCreateAccess, chDeleteAccess, chReserved3, chReserved4;
        public byte chReserved5, chReserved6, chReserved7, chReserved8;
        public byte chReserved9, chReserved10, chReserved11;
        public short chReserved12;
    }

    public static class SysInfoWideLast {
        public int lFlags = 77, lFreeSpace, lReserved1, lReserved2;
        public byte chFileSysType, chMaxDirLevels, chReserved1, chReserved2;
        public int lReserved3, lReserved4;
        public long lReserved5;
    }

    public static class VersionInfoWideLast {
        public int lDriverVersion = 77;
        public byte chFwVersionMajor, chFwVersionMinor, chProductCode;
        public int chConfiguration;
    }

    /** The fields are there, but as class fields. */
    public static class StaticVersionInfo {
        public static int lDriverVersion = 77;
        public static byte chFwVersionMajor, chFwVersionMinor, chProductCode, chConfiguration;
    }

    public static class FileInfoChild extends FileInfo {}
    public static class DirInfoChild extends DirInfo {}
    public static class AccessInfoChild extends AccessInfo {}
    public static class SysInfoChild extends SysInfo {}
    public static class VersionInfoChild extends VersionInfo {}

    static final List<Method> METHODS = List.of(
            new Method("OpenFile", 35, 2, 44, true, FileInfoWideLast::new, DirInfo::new, FileInfoChild::new,
                    (a, r) -> a.OpenFile(3, 4, r)),
            new Method("Directory", 32, 2, 44, true, FileInfoWideLast::new, SysInfo::new, FileInfoChild::new,
                    (a, r) -> a.Directory(3, 4, r)),
            new Method("GetFileInfo", 25, 3, 44, true, FileInfoWideLast::new, VersionInfo::new,
                    FileInfoChild::new, (a, r) -> a.GetFileInfo(3, 4, new byte[4], r)),
            new Method("CreateFile", 33, 1, 44, false, FileInfoWideLast::new, AccessInfo::new,
                    FileInfoChild::new, (a, r) -> a.CreateFile(3, r)),
            new Method("CreateDir", 30, 3, 48, true, DirInfoWideLast::new, FileInfo::new, DirInfoChild::new,
                    (a, r) -> a.CreateDir(3, new byte[4], new byte[4], r)),
            new Method("SetAccessInfo", 22, 1, 16, false, AccessInfoWideLast::new, VersionInfo::new,
                    AccessInfoChild::new, (a, r) -> a.SetAccessInfo(3, r)),
            new Method("GetAccessInfo", 21, 1, 16, true, AccessInfoWideLast::new, SysInfo::new,
                    AccessInfoChild::new, (a, r) -> a.GetAccessInfo(3, r)),
            new Method("GetSysInfo", 24, 0, 32, true, SysInfoWideLast::new, FileInfo::new, SysInfoChild::new,
                    (a, r) -> a.GetSysInfo(r)),
            new Method("GetVersionInfo", 23, 0, 8, true, VersionInfoWideLast::new, AccessInfo::new,
                    VersionInfoChild::new, (a, r) -> a.GetVersionInfo(r)));

    /** Every method with every kind of wrong object. */
    static Stream<Arguments> misuses() {
        List<Arguments> all = new ArrayList<>();
        for (Method m : METHODS) {
            all.add(Arguments.of(m, "a plain Object", (Supplier<Object>) Object::new));
            all.add(Arguments.of(m, "a String", (Supplier<Object>) () -> "record"));
            all.add(Arguments.of(m, "an int array", (Supplier<Object>) () -> new int[16]));
            all.add(Arguments.of(m, "a record of another layout", m.otherLayout));
            all.add(Arguments.of(m, "the last field of another type", m.lastFieldWrong));
        }
        return all.stream();
    }

    static Stream<Method> methods() {
        return METHODS.stream();
    }

    /** The value of the record's first field, or null when it has none of that name. */
    static Object firstField(Object record) throws IllegalAccessException {
        for (String name : new String[] {"lId", "chMaxPinRetries", "lFlags", "lDriverVersion"}) {
            try {
                Field f = record.getClass().getField(name);
                return f.get(record);
            } catch (NoSuchFieldException e) {
                // try the next layout's first field
            }
        }
        return null;
    }

    @ParameterizedTest(name = "{0} with {1}")
    @MethodSource("misuses")
    void aWrongObjectRaisesNoSuchFieldErrorBeforeAnyCallOrWrite(Method m, String what, Supplier<Object> wrong)
            throws Exception {
        qTokAPI api = ready();
        ScriptedComponent.write(TOKEN, m.slot, m.recordArg, pattern(m.size, 0x41));
        Object record = wrong.get();
        Object before = firstField(record);
        assertThrows(NoSuchFieldError.class, () -> m.invocation.call(api, record));
        assertEquals(List.of(), calls(), "the component is not called");
        assertEquals(before, firstField(record), "nothing written back");
        // The library stays usable on the same object.
        ScriptedComponent.reset();
        m.invocation.call(api, m.subclass.get());
        assertEquals(1, calls().size());
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("methods")
    void aSubclassOfTheRecordIsServedThroughItsInheritedFields(Method m) throws Exception {
        qTokAPI api = ready();
        byte[] written = pattern(m.size, 0x63);
        ScriptedComponent.write(TOKEN, m.slot, m.recordArg, written);
        ScriptedComponent.capture(TOKEN, m.slot, m.recordArg, 4);
        Object record = m.subclass.get();
        Field first = record.getClass().getField(m.name.contains("Access") ? "chMaxPinRetries"
                : m.name.equals("GetSysInfo") ? "lFlags" : m.name.equals("GetVersionInfo") ? "lDriverVersion" : "lId");
        if (first.getType() == byte.class) first.setByte(record, (byte) 0x5C); else first.setInt(record, 0x5C);
        m.invocation.call(api, record);
        assertEquals(1, calls().size());
        String line = calls().get(0);
        if (!m.writesBack || m.name.equals("CreateDir")) {
            // What the component received came from the Java record.
            assertTrue(line.contains("*[5c"), line);
        }
        Object expected = m.writesBack
                ? (first.getType() == byte.class ? (Object) written[0]
                        : (Object) ((written[0] & 0xFF) | (written[1] & 0xFF) << 8 | (written[2] & 0xFF) << 16
                                | (written[3] & 0xFF) << 24))
                : (first.getType() == byte.class ? (Object) (byte) 0x5C : (Object) 0x5C);
        assertEquals(expected, first.get(record));
    }

    @Test
    void classFieldsOfTheRightNamesAreNotRecordFields() {
        qTokAPI api = ready();
        ScriptedComponent.write(TOKEN, 23, 0, pattern(8, 1));
        assertThrows(NoSuchFieldError.class, () -> api.GetVersionInfo(new StaticVersionInfo()));
        assertEquals(List.of(), calls());
        assertEquals(77, StaticVersionInfo.lDriverVersion);
    }
}
