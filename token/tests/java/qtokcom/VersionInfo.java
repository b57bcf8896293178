package qtokcom;

public class VersionInfo {
    public int lDriverVersion;
    public byte chFwVersionMajor, chFwVersionMinor, chProductCode, chConfiguration;
}
