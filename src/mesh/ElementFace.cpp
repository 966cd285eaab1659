#include "mesh/ElementFace.h"

#include <algorithm>

ElementFace::ElementFace(std::vector<int> nodeIds, int elementId)
    : nodeIds(std::move(nodeIds)), elementId(elementId)
{
}

bool ElementFace::operator==(const ElementFace& other) const
{
    return nodeIds.size() == other.nodeIds.size()
        && std::is_permutation(nodeIds.begin(), nodeIds.end(), other.nodeIds.begin());
}

bool ElementFace::differsFrom(const ElementFace& other) const
{
    if (tag == other.tag)
        return false;
    return !(*this == other);
}
