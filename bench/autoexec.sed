# GNU sed's nearest equivalent of Setup's autoexec.bat rule (run with -E and
# LC_ALL=C): a line naming a DOS mouse driver becomes a remark unless it holds
# "set path" or its first word is already "rem". Every name of the driver table
# contains "mouse", "ctms" or "logimous". CR LF is taken off on reading and put
# back on writing, as a text-mode read and write do.
s/\r$//
/mouse|ctms|logimous/I{
  /set path/I!{
    /^ *rem /I!s/^/rem /
  }
}
s/$/\r/
