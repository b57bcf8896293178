"""Checks the bundle's Info.plist: the "nvzav" URL scheme, the principal class, no
Dock icon (LSUIElement), versions filled in from the project version when the
bundle is built, and a minimum system equal to the deployment target and
architectures that the macos preset builds for.

    check_info_plist.py Info.plist CMakePresets.json
"""
import json
import plistlib
import sys


def main(plist_path, presets_path):
    with open(plist_path, "rb") as f:
        info = plistlib.load(f)
    with open(presets_path) as f:
        presets = json.load(f)
    mac = next(p for p in presets["configurePresets"] if p["name"] == "macos")
    cache = mac["cacheVariables"]
    failures = []

    def check(ok, what):
        print(("ok   " if ok else "FAIL ") + what)
        if not ok:
            failures.append(what)

    schemes = [s for t in info.get("CFBundleURLTypes", []) for s in t.get("CFBundleURLSchemes", [])]
    check(schemes == ["nvzav"], "the one URL scheme is nvzav (%r)" % schemes)
    check(info.get("NSPrincipalClass") == "LauncherApplication", "principal class LauncherApplication")
    check(info.get("LSUIElement") is True, "LSUIElement: no Dock icon while the script runs")
    check(info.get("CFBundlePackageType") == "APPL", "an application bundle")
    check(info.get("CFBundleDevelopmentRegion") == "en", "development region en, not the legacy English")
    check(info.get("CFBundleDisplayName") == "ZAV Client Launcher",
          "a name users know in a browser's open-this-link prompt")
    check(info.get("CFBundleShortVersionString") == "${MACOSX_BUNDLE_SHORT_VERSION_STRING}"
          and info.get("CFBundleVersion") == "${MACOSX_BUNDLE_BUNDLE_VERSION}",
          "both versions come from the project version")
    check(info.get("LSMinimumSystemVersion") == cache.get("CMAKE_OSX_DEPLOYMENT_TARGET"),
          "LSMinimumSystemVersion %r is the preset's deployment target %r"
          % (info.get("LSMinimumSystemVersion"), cache.get("CMAKE_OSX_DEPLOYMENT_TARGET")))
    arches = cache.get("CMAKE_OSX_ARCHITECTURES", "").split(";")
    check(sorted(arches) == ["arm64", "x86_64"], "a universal bundle: x86_64 and arm64 (%r)" % arches)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
