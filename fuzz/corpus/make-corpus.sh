#!/bin/sh
# Writes the seed files of the fuzz targets that read the project's own text
# files: a registry store, a playlist and a Kestrum.conf, each mixing what
# the readers must take apart (encodings, bad lines, escapes).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$here/registry_store" "$here/playlist_reader" "$here/settings_file"
printf 'TarnelPlatformRegistry=1\n[HKCU\\Software\\Classes\\SonbrelMP3.SBMP3Player]\n@=sz:"SonbrelMP3 MP3 Player Control"\n"Library"=sz:"/usr/lib/libTarnelMP3.so"\n"Count"=dword:0000000a\n"Odd \\"name\\""=sz:"tab\\tline\\nx\\xff\\x01"\n[HKLM\\SOFTWARE\\Empty]\n[hkcr\\A]\n[HKCR\\a\\B]\n"v"=dword:ffffffff\nbad line\n[HKXX\\bad]\n"lost"=sz:"x"\n' \
    > "$here/registry_store/store.ini"
printf '#EXTM3U\r\n#EXTINF:123,Artist - Title\r\n/music/Caf\303\251.mp3\r\n\\rooted.mp3\r\n\\\\server\\share\\a.mp3\r\nrelative.mp3\r\n/music/Caf\351 \200.mp3\r\n#EXTINF:1,last\r\n' \
    > "$here/playlist_reader/mixed.m3u"
printf '7,05,PM ,x\r\n5\r\n1\r\n2.5\r\n0\r\n1\r\n0\r\n1\r\n  R\351veil \200  \r\nZorvin.mp3,Zorvin\r\n/m/Caf\303\251.mp3,Caf\303\251\r\n\r\n/m/old\351.mp3,Old\r\n' \
    > "$here/settings_file/Kestrum.conf"
