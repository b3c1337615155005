#pragma once

#include "operand.h"
#include "runfailure.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <unordered_set>

// Keeps a run from losing a file: no result replaces a picture of the run,
// and no result replaces an earlier result of the same run (two pictures
// of one name, or names that lead to one file). Pictures and results are
// told by where they lead, whatever names they go by.
//
// It stays cheap at any scale: each file is kept as a 128-bit digest of
// where it leads, 16 bytes and a hash-table slot, and each check is one
// lookup. Pictures of a list read as it comes are known only up to the one
// being taken; a picture that an earlier result has already replaced is
// then refused (refusedInput) rather than converted from that result.
class OutputClaims
{
public:
    // A picture of the run, from now on never written over.
    void addInput(const Operand &input);
    // Why `input` is not converted: an earlier result of this run is where
    // it leads. Nothing when it may be.
    std::optional<RunFailure> refusedInput(const Operand &input) const;
    // Claims `output` for the result of `input`; returns why it may not be
    // written there (it is a picture of the run, or an earlier result's
    // file), or nothing once claimed.
    std::optional<RunFailure> claim(const Operand &input, const Operand &output);

private:
    using Digest = std::array<std::uint64_t, 2>;
    struct DigestHash
    {
        size_t operator()(const Digest &digest) const { return size_t(digest[0]); }
    };
    static Digest digestOf(const QString &identity);

    std::unordered_set<Digest, DigestHash> m_inputs;  // by file identity
    std::unordered_set<Digest, DigestHash> m_results; // by canonical location
};
