// A row holding every answer for its latency: 10 000 Gets sent as fast as the row reads them,
// all held at once, each answered on its own time. Prints the delay each request saw, from its
// sending to the kernel's time stamp on its answer (without latency first, for the floor), and
// the memory each waiting answer takes: the heap's bytes in use (glibc's mallinfo2) and the
// resident set, both measured while the most wait.
// Everything on loopback, in this process, bounded in count and time.
//
//   faults_bench [latency-ms [requests]]
#include "benchservices.h"
#include "benchsnmpd.h"
#include "snmp/agent/snmpagents.h"
#include "snmp/codec/snmpmessage.h"
#include "support/requests.h"
#include "trace/debugtrace.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <malloc.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Batch = 64;
constexpr int ReceiveSize = 2048;

// The clock the kernel stamps arriving datagrams with.
double nowMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// When the kernel took the datagram in, from its SO_TIMESTAMPNS message; now if it has none.
double arrivalMs(const msghdr &header)
{
    for (cmsghdr *c = CMSG_FIRSTHDR(&header); c;
         c = CMSG_NXTHDR(const_cast<msghdr *>(&header), c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
            timespec stamp{};
            std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
            return stamp.tv_sec * 1e3 + stamp.tv_nsec / 1e6;
        }
    }
    return nowMs();
}

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLongLong() * ::sysconf(_SC_PAGESIZE);
}

qint64 heapBytes()
{
    // Small blocks and the large ones mapped on their own, such as a queue's whole array.
    const struct mallinfo2 info = ::mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

struct Run
{
    std::vector<double> delays; // ms, sorted
    quint64 mostWaiting = 0;
    qint64 heapGrowth = 0;
    qint64 residentGrowth = 0;
    double percentile(double share) const
    {
        if (delays.empty())
            return 0;
        return delays[std::min(delays.size() - 1, std::size_t(delays.size() * share))];
    }
};

// Sends the requests in batches, each once the row has read the one before, then waits for
// the answers; gives up five seconds after the latency.
Run flood(SnmpAgents &agents, const std::vector<QByteArray> &requests, int latencyMs)
{
    const int fd = openSocket();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(agents.port(0).toUShort());
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    std::vector<double> sentAt(requests.size());
    std::vector<char> buffers(std::size_t(Batch) * ReceiveSize);
    iovec in[Batch];
    mmsghdr inHeaders[Batch];
    alignas(cmsghdr) char controls[Batch][CMSG_SPACE(sizeof(timespec))];
    Run run;
    run.delays.reserve(requests.size());
    const auto drain = [&] {
        for (;;) {
            for (int i = 0; i < Batch; ++i) {
                in[i] = {buffers.data() + std::size_t(i) * ReceiveSize, ReceiveSize};
                inHeaders[i] = {};
                inHeaders[i].msg_hdr.msg_iov = &in[i];
                inHeaders[i].msg_hdr.msg_iovlen = 1;
                inHeaders[i].msg_hdr.msg_control = controls[i];
                inHeaders[i].msg_hdr.msg_controllen = sizeof controls[i];
            }
            const int count = ::recvmmsg(fd, inHeaders, Batch, MSG_DONTWAIT, nullptr);
            if (count <= 0)
                return;
            for (int i = 0; i < count; ++i) {
                const Result<SnmpMessage> answer = decodeMessage(QByteArrayView(
                    static_cast<const char *>(in[i].iov_base), inHeaders[i].msg_len));
                const qint64 id = answer ? answer.value().MessageNumber : -1;
                if (id >= 0 && id < qint64(requests.size()))
                    run.delays.push_back(arrivalMs(inHeaders[i].msg_hdr) - sentAt[id]);
            }
        }
    };
    const quint64 received = agents.rowCounts(0).received;
    const qint64 heap = heapBytes();
    const qint64 resident = residentBytes();
    const QDeadlineTimer sending(10000);
    for (std::size_t next = 0; next < requests.size() && !sending.hasExpired();) {
        iovec out[Batch];
        mmsghdr outHeaders[Batch]{};
        int count = 0;
        for (; count < Batch && next < requests.size(); ++count, ++next) {
            out[count] = {const_cast<char *>(requests[next].constData()),
                          std::size_t(requests[next].size())};
            outHeaders[count].msg_hdr.msg_name = &to;
            outHeaders[count].msg_hdr.msg_namelen = sizeof to;
            outHeaders[count].msg_hdr.msg_iov = &out[count];
            outHeaders[count].msg_hdr.msg_iovlen = 1;
            sentAt[next] = nowMs();
        }
        sendBatch(fd, outHeaders, count);
        while (agents.rowCounts(0).received - received < next && !sending.hasExpired())
            QCoreApplication::processEvents();
        drain();
        const quint64 waiting = agents.rowCounts(0).waiting;
        if (waiting > run.mostWaiting) {
            run.mostWaiting = waiting;
            run.heapGrowth = heapBytes() - heap;
            run.residentGrowth = residentBytes() - resident;
        }
    }
    const QDeadlineTimer answering(latencyMs + 5000);
    while (run.delays.size() < requests.size() && !answering.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        drain();
    }
    ::close(fd);
    std::sort(run.delays.begin(), run.delays.end());
    return run;
}

void print(const char *what, const Run &run, std::size_t requests)
{
    std::printf("%-22s %5zu of %zu answered  p50 %7.2f ms  p99 %7.2f ms  max %7.2f ms\n", what,
                run.delays.size(), requests, run.percentile(0.5), run.percentile(0.99),
                run.delays.empty() ? 0 : run.delays.back());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int latency = argc > 1 ? qBound(1, QByteArray(argv[1]).toInt(), 10000) : 100;
    const int count = argc > 2 ? qBound(1, QByteArray(argv[2]).toInt(), 100000) : 10000;
    QTemporaryDir folder;
    PrintedMessages messages;
    DebugTrace trace(folder.path());
    SnmpAgents agents(trace, messages);
    agents.setAddress(0, QStringLiteral("127.0.0.1"));
    if (!agents.startOnAnyPort(0))
        return 1;
    std::vector<QByteArray> requests;
    for (int id = 0; id < count; ++id) {
        requests.push_back(encodeMessage(makeRequest(SnmpPdu::V2cBase, {"1.3.6.1.2.1.1.5.0"},
                                                     QStringLiteral("kettle"), id))
                               .value());
    }

    const Run floor = flood(agents, requests, 0);
    print("no latency", floor, requests.size());
    RowBehaviour behaviour;
    behaviour.latencyMs = latency;
    agents.setBehaviour(0, behaviour);
    const Run held = flood(agents, requests, latency);
    print(qPrintable(QStringLiteral("latency %1 ms").arg(latency)), held, requests.size());
    std::printf("added delay p99 %.2f ms (target <= %d ms)\n", held.percentile(0.99), latency + 5);
    const double waiting = double(qMax<quint64>(1, held.mostWaiting));
    std::printf("at most %llu answers waiting at once: %.0f bytes of heap and %.0f bytes resident "
                "each (target < 2048)\n",
                static_cast<unsigned long long>(held.mostWaiting), held.heapGrowth / waiting,
                held.residentGrowth / waiting);
    return held.delays.size() == requests.size() ? 0 : 1;
}
