"""Answers every UDP datagram on the given address and port with the same bytes."""
import socket
import sys

server = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
server.bind((sys.argv[1], int(sys.argv[2])))
while True:
    data, sender = server.recvfrom(65535)
    server.sendto(data, sender)
