// Attribute lists: a setting value in which "\0" separates the elements
// becomes the NUL-separated, double-NUL-closed form the installer takes.
#include "setup_file.h"

void DecodeAttributeList(LPSTR buffer)
{
    char work[ATTRIBUTE_LIST_SIZE];
    int written = 0;
    for (int i = 0; i < ATTRIBUTE_LIST_SIZE && buffer[i] != '\0'; ++i) {
        if (buffer[i] == '\\' && i + 1 < ATTRIBUTE_LIST_SIZE && buffer[i + 1] == '0') {
            work[written++] = '\0';
            ++i;
        } else {
            work[written++] = buffer[i];
        }
    }
    // A value that filled its buffer would leave room for one NUL only; its
    // last character gives way so the list stays closed by two.
    if (written > ATTRIBUTE_LIST_SIZE - 2)
        written = ATTRIBUTE_LIST_SIZE - 2;
    for (int i = 0; i < ATTRIBUTE_LIST_SIZE; ++i)
        buffer[i] = '\0';
    for (int i = 0; i < written; ++i)
        buffer[i] = work[i];
}
