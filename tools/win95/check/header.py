"""The header rule: a file Windows 95's loader takes, and nothing in it that a
library or a linker option brought in for a later Windows."""

# Directories SETUP.EXE has no use for, each a sign that a library or a linker option brought in
# something Windows 95 treats otherwise than NT: thread-local data and its callbacks, a later
# compiler's load configuration (security cookie, SafeSEH table), bindings to another system's DLL
# addresses, and functions resolved at first call, which no import check vouches for.
DIRECTORIES = ((9, "TLS"), (10, "load-configuration"), (11, "bound-import"), (13, "delay-import"))


def check(pe, report):
    checks = [
        (pe.machine == 0x14C, "machine is i386 (0x14c)", "machine 0x%x is not i386" % pe.machine),
        (pe.magic == 0x10B, "optional header is PE32", "optional header magic 0x%x is not PE32" % pe.magic),
        ((pe.subsys_major, pe.subsys_minor) <= (4, 0) and pe.subsys_major >= 3,
         "subsystem version %d.%d (Windows 95 accepts 3.x and 4.0)" % (pe.subsys_major, pe.subsys_minor),
         "subsystem version %d.%d: Windows 95 runs only subsystem versions 3.x and 4.0 "
         "(MSDN, 'Subsystem Version Numbers'); link with --subsystem windows:4.0"
         % (pe.subsys_major, pe.subsys_minor)),
        (pe.subsystem in (2, 3), "subsystem %d (GUI/console)" % pe.subsystem,
         "subsystem %d is neither Windows GUI (2) nor console (3)" % pe.subsystem),
        ((pe.os_major, pe.os_minor) <= (4, 0), "OS version %d.%d" % (pe.os_major, pe.os_minor),
         "OS version %d.%d: the file asks for a Windows later than 95 (4.0); link with "
         "--major-os-version 4 --minor-os-version 0" % (pe.os_major, pe.os_minor)),
        (pe.section_alignment == 0x1000, "section alignment 4 KB",
         "section alignment 0x%x: Windows 95 maps images in 4 KB pages and wants sections aligned to "
         "them" % pe.section_alignment),
        (pe.file_alignment == 0x200, "file alignment 512 bytes",
         "file alignment 0x%x: Windows 95 reads images in 512-byte sectors and wants sections "
         "aligned to them in the file" % pe.file_alignment),
    ]
    for index, what in DIRECTORIES:
        rva, size = pe.directory(index)
        checks.append((rva == 0 and size == 0, "no %s directory" % what,
                       "%s directory present (RVA 0x%x, %d bytes)" % (what, rva, size)))
    for good, passed, failed in checks:
        if good:
            report.ok("header " + passed)
        else:
            report.fail("header: " + failed)
