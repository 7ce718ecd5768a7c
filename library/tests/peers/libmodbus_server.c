/* A relay board as served by libmodbus, for the tests: "Modbus-TCP" framing,
 * unit 1, 16 coils and 8 holding registers, on 127.0.0.1 with a port chosen by
 * the system. The first line on stdout gives the port:  {"relay": PORT}
 * Each line "dump" on stdin is answered with one line:
 *   {"relay": {"coils": [16 x 0/1], "registers": [8 values]}}
 * Requests for another unit go unanswered. The server stops when stdin closes.
 *
 * Options set the starting state: --coils MASK (coil i is bit i) and
 * --registers V0,V1,... (from address 0). */
#include <errno.h>
#include <modbus.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

enum { kCoils = 16, kRegisters = 8, kUnit = 1, kMaxClients = 16 };

static int parseOptions(int argc, char** argv, modbus_mapping_t* map) {
    for (int i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--coils") == 0) {
            const unsigned long mask = strtoul(argv[i + 1], NULL, 0);
            for (int coil = 0; coil < kCoils; ++coil) map->tab_bits[coil] = (mask >> coil) & 1u;
        } else if (strcmp(argv[i], "--registers") == 0) {
            char* next = argv[i + 1];
            for (int address = 0; address < kRegisters && *next != '\0'; ++address) {
                map->tab_registers[address] = (uint16_t)strtoul(next, &next, 0);
                if (*next == ',') ++next;
            }
        } else {
            return 0;
        }
    }
    return argc % 2 == 1;
}

static void dump(const modbus_mapping_t* map) {
    printf("{\"relay\": {\"coils\": [");
    for (int coil = 0; coil < kCoils; ++coil) printf("%s%d", coil ? ", " : "", map->tab_bits[coil] ? 1 : 0);
    printf("], \"registers\": [");
    for (int address = 0; address < kRegisters; ++address)
        printf("%s%u", address ? ", " : "", (unsigned)map->tab_registers[address]);
    printf("]}}\n");
    fflush(stdout);
}

/* Answers the "dump" lines in what stdin holds now; 0 once stdin has closed. */
static int readCommands(const modbus_mapping_t* map, char* line, size_t* used, size_t size) {
    const ssize_t got = read(STDIN_FILENO, line + *used, size - *used);
    if (got < 0) return errno == EINTR;
    if (got == 0) return 0;
    *used += (size_t)got;
    char* end;
    while ((end = memchr(line, '\n', *used)) != NULL) {
        const size_t length = (size_t)(end - line);
        if (length >= 4 && memcmp(line, "dump", 4) == 0) dump(map);
        *used -= length + 1;
        memmove(line, end + 1, *used);
    }
    if (*used == size) *used = 0; /* an over-long line is dropped */
    return 1;
}

/* Serves one request from a client; 0 once the client has gone. */
static int serveRequest(modbus_t* ctx, int client, modbus_mapping_t* map) {
    uint8_t request[MODBUS_TCP_MAX_ADU_LENGTH];
    modbus_set_socket(ctx, client);
    const int length = modbus_receive(ctx, request);
    if (length < 0) return 0;
    if (length == 0) return 1;
    const int unitOffset = modbus_get_header_length(ctx) - 1;
    if (request[unitOffset] == kUnit) modbus_reply(ctx, request, length, map);
    return 1;
}

int main(int argc, char** argv) {
    modbus_mapping_t* map = modbus_mapping_new(kCoils, 0, kRegisters, 0);
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", 0);
    if (map == NULL || ctx == NULL || !parseOptions(argc, argv, map)) {
        fprintf(stderr, "usage: %s [--coils MASK] [--registers V0,V1,...]\n", argv[0]);
        return 2;
    }
    const int listener = modbus_tcp_listen(ctx, kMaxClients);
    struct sockaddr_in bound;
    socklen_t boundLength = sizeof bound;
    if (listener < 0 || getsockname(listener, (struct sockaddr*)&bound, &boundLength) != 0) {
        fprintf(stderr, "cannot listen: %s\n", modbus_strerror(errno));
        return 1;
    }
    printf("{\"relay\": %d}\n", ntohs(bound.sin_port));
    fflush(stdout);

    int clients[kMaxClients];
    int clientCount = 0;
    char line[256];
    size_t lineUsed = 0;
    for (;;) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(STDIN_FILENO, &readable);
        FD_SET(listener, &readable);
        int highest = listener;
        for (int i = 0; i < clientCount; ++i) {
            FD_SET(clients[i], &readable);
            if (clients[i] > highest) highest = clients[i];
        }
        if (select(highest + 1, &readable, NULL, NULL, NULL) < 0) {
            if (errno == EINTR) continue;
            perror("select");
            break;
        }
        if (FD_ISSET(STDIN_FILENO, &readable) && !readCommands(map, line, &lineUsed, sizeof line)) break;
        if (FD_ISSET(listener, &readable)) {
            const int client = accept(listener, NULL, NULL);
            if (client >= 0 && clientCount < kMaxClients)
                clients[clientCount++] = client;
            else if (client >= 0)
                close(client);
        }
        for (int i = 0; i < clientCount; ++i) {
            if (!FD_ISSET(clients[i], &readable) || serveRequest(ctx, clients[i], map)) continue;
            close(clients[i]);
            clients[i--] = clients[--clientCount];
        }
    }
    for (int i = 0; i < clientCount; ++i) close(clients[i]);
    close(listener);
    modbus_free(ctx);
    modbus_mapping_free(map);
    return 0;
}
