// The questions Assayer.dll asks of an image, asked through YARA's pe module as
// closely as it allows, one rule each so that every question is evaluated for every
// file (conditions joined with "or" would stop at the first true one). Used by
// bench/assay-vs-peers.sh; the verdicts are not compared, only the time.
import "pe"

rule odd_section_name {
    condition:
        for any i in (0 .. pe.number_of_sections - 1) : (
            pe.sections[i].name != ".text" and pe.sections[i].name != ".data" and
            pe.sections[i].name != ".rdata")
}

rule few_imports {
    condition:
        pe.is_pe and pe.number_of_imported_functions <= 5
}

rule listed_import {
    condition:
        pe.imports(/.*/, /^(GetProcAddress|WNetAddConnection2A|OpenServiceA|AdjustTokenPrivileges|ClearEventLogA|Sleep|OpenProcessToken|RegCloseKey|TerminateProcess|recv|send|CreateProcessA|CreateThread|GetComputerNameW)$/) > 0
}

rule icon_resource {
    condition:
        for any r in pe.resources : (r.type == pe.RESOURCE_TYPE_ICON and r.length > 0)
}

rule version_names_microsoft {
    condition:
        pe.version_info["LegalCopyright"] contains "Microsoft"
}

rule mail_address {
    strings:
        $mail = /[A-Za-z0-9._%+-]{2,32}@[A-Za-z0-9-]{1,32}\.[A-Za-z0-9.-]{1,32}/
    condition:
        $mail
}

rule embedded_image {
    strings:
        $mz = "MZ"
    condition:
        #mz > 1
}
