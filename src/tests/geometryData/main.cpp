#include <iostream>
#include <string>

#include "misc/HeapPolicy.h"
#include "tests/geometryData/CaseRunner.h"

int main()
{
    keepFreedMemoryInHeaps();
    const std::string base = VEMRA_TEST_BASE_DIR;
    const std::string ending = "src/tests";
    // The working copy below the base is deleted: refuse any other base.
    if (base.empty() || base.front() != '/' || base.size() < ending.size() ||
        base.compare(base.size() - ending.size(), ending.size(), ending) != 0) {
        std::cout << "Exception  The test base directory " << base << " is not an absolute path ending in "
                  << ending << std::endl;
        return 1;
    }
    return runDriver(base + "/geometryData/tests/test01", base + "/geometryData/tests/current");
}
