#include "base/text_join.h"

#include <string.h>

bool JoinText(char* dst, size_t size, const char* const* pieces, size_t count)
{
    if (size == 0)
        return false;
    size_t used = 0;
    for (size_t i = 0; i < count; ++i) {
        size_t len = strlen(pieces[i]);
        if (len >= size - used) {
            dst[0] = '\0';
            return false;
        }
        memcpy(dst + used, pieces[i], len);
        used += len;
    }
    dst[used] = '\0';
    return true;
}

size_t CopyText(char* dst, size_t size, const char* src)
{
    if (size == 0)
        return 0;
    size_t len = strlen(src);
    if (len > size - 1)
        len = size - 1;
    memcpy(dst, src, len);
    dst[len] = '\0';
    return len;
}
