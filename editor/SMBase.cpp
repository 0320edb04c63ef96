#include "SMBase.h"

#include "EdConsts.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <typeinfo>

namespace kvx {

namespace {
void ReadExactly(TStream& stream, void* buffer, int64_t count, const char* what) {
    if (stream.Read(buffer, count) != count)
        throw EStreamError(0, std::string("Unexpected end of stream while reading ") + what);
}
} // namespace

void TSM_Base::Assign(const TSM_Base& source) {
    if (&source == this)
        return;
    // The stream format belongs to one class: a derived or sibling class would read another
    // class's bytes as its own.
    if (typeid(source) != typeid(*this))
        throw ESyntaxMemo(0, AssignError(source.ClassName()));
    TMemoryStream data;
    source.SaveToStream(data);
    data.Seek(0, TSeekOrigin::Begin);
    // The old state is kept in the same form, so a read that fails half way can be undone
    // without asking subclasses for anything beyond their two stream routines.
    TMemoryStream backup;
    SaveToStream(backup);
    backup.Seek(0, TSeekOrigin::Begin);

    auto restore = [&](const char* failure) {
        try {
            LoadFromStream(backup);
        } catch (const std::exception& e) {
            throw ESyntaxMemo(0, std::string(failure) + "; restoring the previous " + ClassName() +
                                     " failed too: " + e.what());
        }
    };
    try {
        LoadFromStream(data);
    } catch (const std::exception& e) {
        restore(e.what());
        throw;
    } catch (...) {
        restore("unknown error");
        throw;
    }
    if (data.Position() != data.Size()) {
        const std::string failure = std::string(ClassName()) + " read " +
                                    std::to_string(data.Position()) + " of the " +
                                    std::to_string(data.Size()) + " bytes it wrote";
        restore(failure.c_str());
        throw ESyntaxMemo(0, failure);
    }
}

void TSM_Base::WriteInt32(TStream& stream, int32_t value) {
    unsigned char b[4];
    const uint32_t u = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<unsigned char>(u >> (8 * i));
    if (stream.Write(b, 4) != 4)
        throw EStreamError(0, "Could not write to stream");
}

int32_t TSM_Base::ReadInt32(TStream& stream, const char* what) {
    unsigned char b[4];
    ReadExactly(stream, b, 4, what);
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= uint32_t(b[i]) << (8 * i);
    return static_cast<int32_t>(u);
}

void TSM_Base::WriteInt16(TStream& stream, uint16_t value) {
    const unsigned char b[2] = {static_cast<unsigned char>(value),
                                static_cast<unsigned char>(value >> 8)};
    if (stream.Write(b, 2) != 2)
        throw EStreamError(0, "Could not write to stream");
}

uint16_t TSM_Base::ReadInt16(TStream& stream, const char* what) {
    unsigned char b[2];
    ReadExactly(stream, b, 2, what);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

void TSM_Base::WriteShortString(TStream& stream, std::string_view value) {
    const unsigned char n = static_cast<unsigned char>(std::min<size_t>(value.size(), 255));
    if (stream.Write(&n, 1) != 1 || (n > 0 && stream.Write(value.data(), n) != n))
        throw EStreamError(0, "Could not write to stream");
}

std::string TSM_Base::ReadShortString(TStream& stream, const char* what) {
    unsigned char n = 0;
    ReadExactly(stream, &n, 1, what);
    std::string s(n, '\0');
    if (n > 0)
        ReadExactly(stream, s.data(), n, what);
    return s;
}

void TSM_Base::BadValue(const char* what) {
    throw EStreamError(0, std::string("Bad ") + what + " in stream");
}

void TSM_Base::WriteLongString(TStream& stream, std::string_view value) {
    if (value.size() > size_t(std::numeric_limits<int32_t>::max()))
        throw EStreamError(0, "String too long to write to stream");
    WriteInt32(stream, static_cast<int32_t>(value.size()));
    const auto n = static_cast<int64_t>(value.size());
    if (n > 0 && stream.Write(value.data(), n) != n)
        throw EStreamError(0, "Could not write to stream");
}

std::string TSM_Base::ReadLongString(TStream& stream, const char* what) {
    const int32_t n = ReadInt32(stream, what);
    // A length beyond what is left is damage, not a reason to allocate gigabytes.
    const int64_t left = stream.Size() - stream.Position();
    if (n < 0 || n > left)
        throw EStreamError(0, std::string("Bad string length ") + std::to_string(n) +
                                  " in stream while reading " + what);
    std::string s(static_cast<size_t>(n), '\0');
    if (n > 0)
        ReadExactly(stream, s.data(), n, what);
    return s;
}

} // namespace kvx
