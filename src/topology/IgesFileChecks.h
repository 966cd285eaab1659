#pragma once

#include <string>
#include <string_view>

// What an IGES file declares, as its text states it.
struct IgesDeclarations {
    // Manifold solid B-rep objects (type 186).
    int solids = 0;
};

// The text of an IGES file before the kernel's reader sees it, in one pass
// linear in its size: the kernel's reader and transfer crash, spin or
// allocate without bound on damaged files instead of reporting them.
// Checked: the sections against the record counts the terminate record
// announces (a file cut short), the directory's parameter pointers, every
// number finite and within the kernel's range, the counts of the entities the
// transfer follows against the parameters that hold them (before anything is
// allocated for them), each of their pointers leading to an entry of a type
// allowed there, their indices within the lists they name, and no cycle of
// references. A text that does not begin with a start record in the fixed
// form is left to the reader. Raises vemra_exception "IGES file <fileName>: <fault>", with
// " (entity <directory entry number>)" when the fault lies in one entity.
IgesDeclarations checkIgesText(std::string_view content, const std::string& fileName);
