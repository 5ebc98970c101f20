// A program outside the project that uses the installed library.
#include <TarnelMP3.h>

#include <cstdio>

int main()
{
    const QString text = SonbrelMP3::ErrorText(53);
    std::printf("%s|%s\n", qPrintable(text), qPrintable(SonbrelMP3::GenreName(147)));
    return text.isEmpty() ? 1 : 0;
}
