# Sourced by run.sh and take-screenshots.sh: a sample site in Windows-1251, a
# throwaway pyftpdlib server on 127.0.0.1 that receives it, and a settings
# file filled in for both. Not a program of its own.
#
#   demo_prepare DIRECTORY [SERVER_OPTION...]
#                            makes everything below DIRECTORY and starts the
#                            server (with tests/servers/ftp_server.py's further
#                            options, e.g. --delay-reply STOR:1); sets demo_site,
#                            demo_published, demo_settings, demo_port, demo_user,
#                            demo_password
#   demo_stop                stops the server (safe to call twice)

demo_python=/usr/bin/python3 # Debian's python3-pyftpdlib lives in the system interpreter
demo_user=demo
demo_password=ostrel-demo
demo_server_pid=""

demo_make_site() {
  # A few pages with their charset declared, a page in a "_drafts" directory
  # that is left out, a plain text file and an image.
  "$demo_python" - "$1" "$demo_repository/resources/icons/ostrel-32.png" <<'PYTHON'
import pathlib, shutil, sys

site = pathlib.Path(sys.argv[1])
def page(path, title, body):
    text = ('<HTML><HEAD>\n'
            '<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=windows-1251">\n'
            f'<TITLE>{title}</TITLE></HEAD>\n<BODY>\n{body}\n</BODY></HTML>\n')
    target = site / path
    target.parent.mkdir(parents=True, exist_ok=True)
    target.write_bytes(text.encode("cp1251"))

page("index.htm", "Главная страница", "<H1>Добро пожаловать!</H1>\n<P>Это пример сайта для Ostrel.</P>\n"
     '<P><A HREF="news/index.html">Новости</A> <IMG SRC="images/logo.png" ALT="Логотип"></P>')
page("news/index.html", "Новости", "<H2>Новости</H2>\n<P>Сайт переехал на новый сервер.</P>")
page("_drafts/plan.htm", "Черновик", "<P>Этот черновик не публикуется: каталог начинается с подчёркивания.</P>")
(site / "readme.txt").write_bytes("Файлы этого сайта записаны в кодировке Windows-1251.\r\n".encode("cp1251"))
(site / "images").mkdir(exist_ok=True)
shutil.copyfile(sys.argv[2], site / "images" / "logo.png")
PYTHON
}

demo_prepare() {
  local directory=$1
  shift
  demo_site="$directory/site"
  local server_root="$directory/server"
  demo_published="$server_root/www"
  demo_settings="$directory/ostrel.INI"
  mkdir -p "$demo_published"
  demo_make_site "$demo_site"

  # The server takes the port it is told to listen on and reports nothing, so
  # a port the kernel just handed out as free is passed to it; should another
  # program take that port in the moment between, the server cannot listen
  # and exits, and the next free port is tried.
  local _
  for _ in 1 2 3 4 5; do
    demo_port=$("$demo_python" -c 'import socket
with socket.socket() as s:
    s.bind(("127.0.0.1", 0))
    print(s.getsockname()[1])')
    "$demo_python" "$demo_repository/tests/servers/ftp_server.py" --port "$demo_port" --root "$server_root" \
      --user "$demo_user" --password "$demo_password" --command-log "$directory/server-commands.log" \
      "$@" >"$directory/server.log" 2>&1 &
    demo_server_pid=$!
    if demo_wait_for_server; then
      # The same values as the saved site "Demo", the one in use.
      local values
      values=$(printf 'LocalDir=%s\nHost=127.0.0.1:%s\nName=%s\nRemoteDir=/www' "$demo_site" "$demo_port" "$demo_user")
      printf '[Parameters]\n%s\nSite=Demo\n\n[Site Demo]\n%s\n' "$values" "$values" >"$demo_settings"
      return 0
    fi
    demo_stop
    grep -q "Address already in use" "$directory/server.log" || break
  done
  echo "The demo FTP server did not start; it said:" >&2
  cat "$directory/server.log" >&2
  return 1
}

# Waits up to ten seconds until the server started last greets on demo_port;
# fails at once if it exits. The greeting is read because another program
# that took the port would take connections too.
demo_wait_for_server() {
  local _ greeting
  for _ in $(seq 1 100); do
    kill -0 "$demo_server_pid" 2>/dev/null || return 1
    if greeting=$(exec 2>/dev/null 3<>"/dev/tcp/127.0.0.1/$demo_port" && read -r -t 5 line <&3 && echo "$line"); then
      [[ $greeting == "220 pyftpdlib "* ]] && kill -0 "$demo_server_pid" 2>/dev/null
      return
    fi
    sleep 0.1
  done
  return 1
}

demo_stop() {
  if [ -n "$demo_server_pid" ]; then
    kill "$demo_server_pid" 2>/dev/null || true
    wait "$demo_server_pid" 2>/dev/null || true
    demo_server_pid=""
  fi
}
