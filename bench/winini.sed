# GNU sed's nearest equivalent of Setup's win.ini rule (run with -E and
# LC_ALL=C). The hold space carries the [windows] flag: any "[" ends the
# section, "[windows]" anywhere starts one, and inside it a line naming a mouse
# program is commented out with ";". CR LF as in autoexec.sed.
s/\r$//
/\[/{x;s/.*/0/;x}
/\[windows\]/I{x;s/.*/1/;x}
x
/^1$/{
  x
  /(point32|mswheel|ipoint|pointer|mousemgr|em_exec|logi_mwx|kmw_run|amoumain|syntpenh|apoint)\.exe/I s/^/;/
  b end
}
x
:end
s/$/\r/
