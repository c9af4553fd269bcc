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
        std::optional<size_t> sameDataAs;           // an earlier entry whose local header and data this one points at
    };

    ZipMaker& add (Entry entry)
    {
        entries.push_back (std::move (entry));
        return *this;
    }

    ZipMaker& file (const std::string& name, const std::string& data)    { return add ({ name, data }); }
    ZipMaker& folder (const std::string& name)                            { return add ({ name, {}, false }); }

    /** A second directory, of entries that point at the data of this one's (by sameDataAs), with an end
        record of its own, hidden in the comment of the real end record: a reader that takes the last end
        signature it finds sees these entries. */
    std::vector<Entry> hiddenEntries;

    juce::MemoryBlock build()
    {
        juce::MemoryOutputStream out;
        std::vector<Header> headers;
        dataOffsets.clear();

        for (const auto& entry : entries)
        {
            if (entry.sameDataAs)
            {
                headers.push_back (headers.at (*entry.sameDataAs));
                dataOffsets.push_back (dataOffsets.at (*entry.sameDataAs));
                continue;
            }

            const auto stored = entry.deflate ? deflateRaw (entry.data) : entry.data;
            const Header header { entry.recordedCrc.value_or (crcOf (entry.data)), (juce::uint32) stored.size(),
                                  entry.recordedSize.value_or ((juce::uint32) entry.data.size()),
                                  (short) (entry.deflate ? 8 : 0), (int) out.getPosition() };
            out.writeInt (0x04034b50);
            writeCommonFields (out, header, entry.name);
            out.write (entry.name.data(), entry.name.size());
            dataOffsets.push_back ((size_t) out.getPosition());
            out.write (stored.data(), stored.size());
            headers.push_back (header);
        }

        const auto directoryOffset = (int) out.getPosition();
        const auto directory = writeDirectory (entries, headers);
        out << directory;

        juce::MemoryOutputStream comment;

        if (! hiddenEntries.empty())
        {
            std::vector<Header> hiddenHeaders;

            for (const auto& entry : hiddenEntries)
                hiddenHeaders.push_back (headers.at (entry.sameDataAs.value()));

            const auto hiddenOffset = (int) out.getPosition() + 22;
            const auto hiddenDirectory = writeDirectory (hiddenEntries, hiddenHeaders);
            comment << hiddenDirectory;
            writeEndRecord (comment, hiddenEntries.size(), hiddenDirectory.getSize(), hiddenOffset, 0);
            comment.writeByte (0);  // so that the hidden record's own comment length does not end the file
        }

        writeEndRecord (out, entries.size(), directory.getSize(), directoryOffset, comment.getDataSize());
        out << comment.getMemoryBlock();
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
    struct Header
    {
        juce::uint32 crc, storedSize, size;
        short method;
        int offset;
    };

    static void writeCommonFields (juce::MemoryOutputStream& out, const Header& header, const std::string& name)
    {
        out.writeShort (20);
        out.writeShort (0);
        out.writeShort (header.method);
        out.writeInt (0);
        out.writeInt ((int) header.crc);
        out.writeInt ((int) header.storedSize);
        out.writeInt ((int) header.size);
        out.writeShort ((short) name.size());
        out.writeShort (0);
    }

    static juce::MemoryBlock writeDirectory (const std::vector<Entry>& list, const std::vector<Header>& headers)
    {
        juce::MemoryOutputStream directory;

        for (size_t i = 0; i < list.size(); ++i)
        {
            const auto& entry = list[i];
            directory.writeInt (0x02014b50);
            directory.writeShort ((short) (entry.externalAttributes != 0 ? 0x0314 : 0x0014));
            writeCommonFields (directory, headers[i], entry.name);
            directory.writeInt (0);     // comment length, disk number
            directory.writeShort (0);   // internal attributes
            directory.writeInt ((int) entry.externalAttributes);
            directory.writeInt (headers[i].offset);
            directory.write (entry.name.data(), entry.name.size());
        }

        return directory.getMemoryBlock();
    }

    static void writeEndRecord (juce::MemoryOutputStream& out, size_t numEntries, size_t directorySize,
                                int directoryOffset, size_t commentLength)
    {
        out.writeInt (0x06054b50);
        out.writeInt (0);           // disk numbers
        out.writeShort ((short) numEntries);
        out.writeShort ((short) numEntries);
        out.writeInt ((int) directorySize);
        out.writeInt (directoryOffset);
        out.writeShort ((short) commentLength);
    }

    std::vector<Entry> entries;
};

} // namespace ov::test
