#!/usr/bin/env bash
# Prints a TCP port on 127.0.0.1 that nothing is listening on right now.
exec python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()'
