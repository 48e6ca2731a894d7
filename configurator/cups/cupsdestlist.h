#pragma once

#include <cups/cups.h>

// Owns a CUPS destination array and frees it with cupsFreeDests.
class CupsDestList
{
public:
    CupsDestList() = default;
    CupsDestList(int count, cups_dest_t *dests);
    ~CupsDestList();

    CupsDestList(CupsDestList &&other) noexcept;
    CupsDestList &operator=(CupsDestList &&other) noexcept;
    CupsDestList(const CupsDestList &) = delete;
    CupsDestList &operator=(const CupsDestList &) = delete;

    // Every destination as cupsGetDests() reports it from the default server.
    static CupsDestList fromCupsGetDests();

    int count() const { return m_count; }
    cups_dest_t *begin() const { return m_dests; }
    cups_dest_t *end() const { return m_dests + m_count; }

    // The array, for libcups calls that add to it (cupsAddDest and friends).
    int *countRef() { return &m_count; }
    cups_dest_t **destsRef() { return &m_dests; }

private:
    int m_count = 0;
    cups_dest_t *m_dests = nullptr;
};
