#include "cupsdestlist.h"

#include <utility>

CupsDestList::CupsDestList(int count, cups_dest_t *dests)
    : m_count(dests ? count : 0)
    , m_dests(dests)
{ }

CupsDestList::~CupsDestList()
{
    cupsFreeDests(m_count, m_dests);
}

CupsDestList::CupsDestList(CupsDestList &&other) noexcept
    : m_count(std::exchange(other.m_count, 0))
    , m_dests(std::exchange(other.m_dests, nullptr))
{ }

CupsDestList &CupsDestList::operator=(CupsDestList &&other) noexcept
{
    if (this != &other) {
        cupsFreeDests(m_count, m_dests);
        m_count = std::exchange(other.m_count, 0);
        m_dests = std::exchange(other.m_dests, nullptr);
    }
    return *this;
}

CupsDestList CupsDestList::fromCupsGetDests()
{
    cups_dest_t *dests = nullptr;
    const int count = cupsGetDests(&dests);
    return CupsDestList(count, dests);
}
