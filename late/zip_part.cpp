// Zip archives through libzip, in memory: the book's archive is read whole
// and written whole, and the files go through the safe writer elsewhere.
#include "late/parts.h"

#include <memory>
#include <zip.h>

namespace late {

std::string zipPack(const std::vector<ZipMember>& members, std::string& bytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* za = buffer ? zip_open_from_source(buffer, ZIP_TRUNCATE, &error) : nullptr;
    if (!za) {
        if (buffer) zip_source_free(buffer);
        const std::string why = zip_error_strerror(&error);
        zip_error_fini(&error);
        return why;
    }
    zip_source_keep(buffer);
    auto fail = [&] {
        const std::string why = zip_strerror(za);
        zip_discard(za);
        zip_source_free(buffer);
        return why;
    };
    for (const ZipMember& m : members) {
        // The members' bytes outlive the archive, which reads them at close.
        zip_source_t* src = zip_source_buffer(za, m.bytes.data(), m.bytes.size(), 0);
        const zip_int64_t index =
            src ? zip_file_add(za, m.name.c_str(), src, ZIP_FL_ENC_GUESS) : -1;
        if (index < 0) {
            if (src) zip_source_free(src);
            return fail();
        }
        if (m.mtime >= 0)
            zip_file_set_mtime(za, static_cast<zip_uint64_t>(index), static_cast<time_t>(m.mtime),
                               0);
    }
    if (zip_close(za) != 0) return fail();

    bytes.clear();
    if (zip_source_open(buffer) == 0) {
        char chunk[65536];
        zip_int64_t n;
        while ((n = zip_source_read(buffer, chunk, sizeof chunk)) > 0)
            bytes.append(chunk, static_cast<std::size_t>(n));
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    return bytes.empty() ? "empty archive" : "";
}

std::string zipUnpack(const std::string& bytes, const ZipMemberCheck& check,
                      std::vector<ZipMember>& members) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* za = src ? zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr;
    if (!za) {
        if (src) zip_source_free(src);
        const std::string why = zip_error_strerror(&error);
        zip_error_fini(&error);
        return why;
    }
    std::unique_ptr<zip_t, void (*)(zip_t*)> archive(za, [](zip_t* z) { zip_discard(z); });

    const zip_int64_t count = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(za, i, 0, &st) != 0) return zip_strerror(za);
        ZipMember m;
        m.name = st.name;
        if (!m.name.empty() && m.name.back() == '/') continue; // a folder entry
        if (std::string why = check(m.name, st.size); !why.empty()) return why;
        zip_file_t* f = zip_fopen_index(za, i, 0);
        if (!f) return m.name + ": " + zip_strerror(za);
        m.bytes.resize(st.size);
        const zip_int64_t n = zip_fread(f, m.bytes.data(), st.size);
        const bool whole = n == static_cast<zip_int64_t>(st.size);
        zip_fclose(f); // checks the CRC once everything was read
        if (!whole) return m.name;
        if (st.valid & ZIP_STAT_MTIME) m.mtime = st.mtime;
        members.push_back(std::move(m));
    }
    return "";
}

} // namespace late
