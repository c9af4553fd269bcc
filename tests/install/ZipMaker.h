#pragma once

#include <juce_core/juce_core.h>
#include <zlib.h>

#include <optional>
#include <string>
#include <vector>

namespace ov::test
{

/** Writes zip archives byte by byte, so that a test can make them as wrong as it needs. Names are
    stored as given (the product's archives use "\"). */
class ZipMaker final
{
public:
    struct Entry
    {
        Entry (std::string entryName, std::string entryData, bool deflateData = true, juce::uint32 attributes = 0)
            : name (std::move (entryName)), data (std::move (entryData)), deflate (deflateData), externalAttributes (attributes)
        {
        }

        std::string name;
        std::string data;
        bool deflate = true;
        juce::uint32 externalAttributes = 0;
        std::optional<juce::uint32> recordedCrc;    // in place of the data's real CRC-32
        std::optional<juce::uint32> recordedSize;   // in place of the data's real size
    };

    ZipMaker& add (Entry entry)
    {
        entries.push_back (std::move (entry));
        return *this;
    }

    ZipMaker& file (const std::string& name, const std::string& data)    { return add ({ name, data }); }
    ZipMaker& folder (const std::string& name)                            { return add ({ name, {}, false }); }

    juce::MemoryBlock build()
    {
        juce::MemoryOutputStream out;
        juce::MemoryOutputStream directory;
        dataOffsets.clear();

        for (const auto& entry : entries)
        {
            const auto stored = entry.deflate ? deflateRaw (entry.data) : entry.data;
            const auto crc = entry.recordedCrc.value_or (crcOf (entry.data));
            const auto size = entry.recordedSize.value_or ((juce::uint32) entry.data.size());
            const auto method = (short) (entry.deflate ? 8 : 0);
            const auto headerOffset = (int) out.getPosition();

            const auto writeCommonFields = [&] (juce::MemoryOutputStream& header)
            {
                header.writeShort (20);
                header.writeShort (0);
                header.writeShort (method);
                header.writeInt (0);
                header.writeInt ((int) crc);
                header.writeInt ((int) stored.size());
                header.writeInt ((int) size);
                header.writeShort ((short) entry.name.size());
                header.writeShort (0);
            };

            out.writeInt (0x04034b50);
            writeCommonFields (out);
            out.write (entry.name.data(), entry.name.size());
            dataOffsets.push_back ((size_t) out.getPosition());
            out.write (stored.data(), stored.size());

            directory.writeInt (0x02014b50);
            directory.writeShort ((short) (entry.externalAttributes != 0 ? 0x0314 : 0x0014));
            writeCommonFields (directory);
            directory.writeInt (0);     // comment length, disk number
            directory.writeShort (0);   // internal attributes
            directory.writeInt ((int) entry.externalAttributes);
            directory.writeInt (headerOffset);
            directory.write (entry.name.data(), entry.name.size());
        }

        const auto directoryOffset = (int) out.getPosition();
        out << directory.getMemoryBlock();

        out.writeInt (0x06054b50);
        out.writeInt (0);           // disk numbers
        out.writeShort ((short) entries.size());
        out.writeShort ((short) entries.size());
        out.writeInt ((int) directory.getDataSize());
        out.writeInt (directoryOffset);
        out.writeShort (0);

        return out.getMemoryBlock();
    }

    const std::vector<Entry>& getEntries() const    { return entries; }

    /** Where each entry's data begins in the last archive built. */
    std::vector<size_t> dataOffsets;

    static juce::uint32 crcOf (const std::string& data)
    {
        return (juce::uint32) crc32 (0, reinterpret_cast<const Bytef*> (data.data()), (uInt) data.size());
    }

    static std::string deflateRaw (const std::string& data)
    {
        z_stream stream {};
        deflateInit2 (&stream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        std::string result (deflateBound (&stream, (uLong) data.size()), '\0');

        stream.next_in = reinterpret_cast<Bytef*> (const_cast<char*> (data.data()));
        stream.avail_in = (uInt) data.size();
        stream.next_out = reinterpret_cast<Bytef*> (result.data());
        stream.avail_out = (uInt) result.size();
        deflate (&stream, Z_FINISH);
        result.resize (stream.total_out);
        deflateEnd (&stream);
        return result;
    }

private:
    std::vector<Entry> entries;
};

} // namespace ov::test
