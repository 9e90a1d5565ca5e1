// A recorded device of a million objects: reading it next to a plain line-by-line read, the
// memory it adds, GetNext from random identifiers against the row's own sysName.0 Get, the same
// GetNext with the recording's counters advancing, GetBulk (0, 25) against snmpd over its own
// tree, and a batched UDP echo as the floor for them all.
// Everything on loopback; every load runs for a fixed time.
//
//   recording_bench [seconds-per-run]
#include "batchedreceive.h"
#include "benchservices.h"
#include "benchsnmpd.h"
#include "snmp/agent/recordingloader.h"
#include "snmp/agent/snmpagents.h"
#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmpmessage.h"
#include "snmp/recording/recordingreader.h"
#include "support/manager.h"
#include "trace/debugtrace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Objects = 1'000'000;
constexpr int InFlight = 32;
constexpr int Batch = 64;
constexpr int ReceiveSize = 65536;

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLongLong() * ::sysconf(_SC_PAGESIZE);
}

// Ten columns of a hundred thousand rows, types mixed as a switch's tables mix them.
QByteArray generatedLine(int i)
{
    const int column = i / 100'000 + 1;
    const int row = i % 100'000 + 1;
    QByteArray line = ".1.3.6.1.4.1.99999.1.1." + QByteArray::number(column) + '.' +
                      QByteArray::number(row) + " = ";
    switch (column % 5) {
    case 0:
        return line + "STRING: \"port " + QByteArray::number(row) + " uplink\"\n";
    case 1:
        return line + "INTEGER: " + QByteArray::number(row % 7) + '\n';
    case 2:
        return line + "Counter32: " + QByteArray::number(quint32(row) * 2654435761u) + '\n';
    case 3:
        return line + "Counter64: " + QByteArray::number(quint64(row) << 33) + '\n';
    default:
        return line + "Timeticks: (" + QByteArray::number(row * 100) + ") 0:00:01.00\n";
    }
}

struct Figures
{
    double perSecond = 0;
    double p50 = 0, p99 = 0, max = 0; // microseconds
    qint64 answers = 0;
    double cpuPerAnswer = 0; // microseconds of the serving thread, where it is this process's
};

double threadCpuMicroseconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e6 + now.tv_nsec / 1e3;
}

// The request id sits at a fixed place in these requests: four bytes after 02 04.
qsizetype idOffset(const QByteArray &request)
{
    return request.indexOf(QByteArray::fromHex("020440000000")) + 2;
}

qint64 responseId(QByteArrayView datagram)
{
    ber::Reader outer(datagram);
    const auto message = outer.read(ber::Sequence, "message");
    if (!message)
        return -1;
    ber::Reader fields(message.value().content);
    if (!fields.read(ber::Integer, "version") || !fields.read(ber::OctetString, "community"))
        return -1;
    const auto pdu = fields.read();
    if (!pdu)
        return -1;
    ber::Reader body(pdu.value().content);
    const auto id = body.read(ber::Integer, "id");
    return id ? ber::decodeInteger(id.value().content).value() : -1;
}

// Keeps InFlight requests outstanding, taken round robin from `requests`, for the time given;
// runs on a thread of its own while the agent's event loop runs.
Figures load(quint16 port, const std::vector<QByteArray> &requests, int milliseconds)
{
    const int fd = openSocket();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port);
    std::vector<Clock::time_point> sentAt(1 << 20);
    std::vector<double> latencies;
    latencies.reserve(1 << 20);
    qint32 next = 0;
    // Sent in batches as answers come in batches, so the generator is no server's bottleneck.
    std::vector<QByteArray> queued(Batch);
    iovec outVectors[Batch]{};
    mmsghdr outHeaders[Batch]{};
    int count = 0;
    const auto flush = [&] {
        sendBatch(fd, outHeaders, count);
        count = 0;
    };
    const auto send = [&] {
        if (count == Batch)
            flush();
        const QByteArray &request = requests[std::size_t(next) % requests.size()];
        QByteArray &copy = queued[std::size_t(count)];
        copy.resize(request.size());
        std::copy(request.begin(), request.end(), copy.begin());
        const qint32 id = 0x40000000 + (next & 0xfffff);
        const qsizetype at = idOffset(request);
        for (int i = 0; i < 4; ++i)
            copy.data()[at + i] = char(quint32(id) >> (24 - 8 * i));
        sentAt[std::size_t(next & 0xfffff)] = Clock::now();
        ++next;
        outVectors[count] = {copy.data(), size_t(copy.size())};
        outHeaders[count] = {};
        outHeaders[count].msg_hdr.msg_name = &to;
        outHeaders[count].msg_hdr.msg_namelen = sizeof to;
        outHeaders[count].msg_hdr.msg_iov = &outVectors[count];
        outHeaders[count].msg_hdr.msg_iovlen = 1;
        ++count;
    };
    std::vector<char> buffers(std::size_t(Batch) * ReceiveSize);
    iovec inVectors[Batch]{};
    mmsghdr inHeaders[Batch]{};
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + std::chrono::milliseconds(milliseconds);
    for (int i = 0; i < InFlight; ++i)
        send();
    flush();
    Clock::time_point lastAnswer = start;
    while (Clock::now() < end) {
        pollfd poller{fd, POLLIN, 0};
        ::poll(&poller, 1, 10);
        for (;;) {
            const int received =
                receiveBatch(fd, inHeaders, inVectors, buffers.data(), Batch, ReceiveSize);
            if (received <= 0)
                break;
            const Clock::time_point now = Clock::now();
            for (int i = 0; i < received; ++i) {
                const qint64 id = responseId(QByteArrayView(
                    static_cast<const char *>(inVectors[i].iov_base), inHeaders[i].msg_len));
                if (id < 0x40000000)
                    continue;
                lastAnswer = now;
                latencies.push_back(std::chrono::duration<double, std::micro>(
                                        now - sentAt[std::size_t(id - 0x40000000)])
                                        .count());
                if (now < end)
                    send();
            }
            flush();
        }
        // Lost requests are replaced, so the load stays at InFlight.
        if (Clock::now() - lastAnswer > std::chrono::milliseconds(200)) {
            lastAnswer = Clock::now();
            for (int i = 0; i < InFlight; ++i)
                send();
            flush();
        }
    }
    ::close(fd);
    Figures figures;
    figures.answers = qint64(latencies.size());
    figures.perSecond = figures.answers * 1000.0 / milliseconds;
    if (!latencies.empty()) {
        std::sort(latencies.begin(), latencies.end());
        figures.p50 = latencies[latencies.size() / 2];
        figures.p99 = latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)];
        figures.max = latencies.back();
    }
    return figures;
}

// Runs the load on a thread while this thread's event loop serves the agents.
Figures loadWhileServing(quint16 port, const std::vector<QByteArray> &requests, int milliseconds,
                         const std::function<void()> &meanwhile = {})
{
    Figures figures;
    std::atomic<bool> done{false};
    const double cpuBefore = threadCpuMicroseconds();
    std::thread generator([&] {
        figures = load(port, requests, milliseconds);
        done = true;
    });
    if (meanwhile)
        meanwhile();
    // Served as the program serves: an event loop that sleeps while nothing comes.
    QEventLoop serving;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &serving, [&] {
        if (done)
            serving.quit();
    });
    check.start(5);
    if (!done)
        serving.exec();
    generator.join();
    if (!meanwhile)
        figures.cpuPerAnswer =
            (threadCpuMicroseconds() - cpuBefore) / qMax<qint64>(1, figures.answers);
    return figures;
}

// Answers every datagram with itself, reading and sending in batches: no server does less.
class EchoFloor
{
public:
    EchoFloor() : m_fd(openSocket())
    {
        m_thread = std::thread([this] { run(); });
    }
    ~EchoFloor()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    quint16 port() const
    {
        sockaddr_in local{};
        socklen_t size = sizeof local;
        ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&local), &size);
        return ntohs(local.sin_port);
    }

private:
    void run()
    {
        BatchedReceive batch;
        while (!m_stop) {
            const int received = batch.read(m_fd, 20);
            if (received > 0)
                ::sendmmsg(m_fd, batch.headers, unsigned(received), 0);
        }
    }

    int m_fd;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

QByteArray request(int pdu, const QStringList &oids, int nonRepeaters = 0, int repetitions = 0)
{
    SnmpMessage message;
    message.version = SnmpVersion::V2c;
    message.Type = SnmpPdu::V2cBase + pdu;
    message.Community = QStringLiteral("kettle");
    message.MessageNumber = 0x40000000;
    message.ErrorStatus = pdu == SnmpPdu::GetBulkRequest ? nonRepeaters : 0;
    message.ErrorIndex = pdu == SnmpPdu::GetBulkRequest ? repetitions : 0;
    for (const QString &oid : oids)
        message.Variables.append(SnmpVariable::make(oid).value());
    return encodeMessage(message).value();
}

// Requests of one kind from identifiers picked at random, the same seed for every agent.
std::vector<QByteArray> randomRequests(const QStringList &oids, int pdu, int count = 4096)
{
    QRandomGenerator random(7);
    std::vector<QByteArray> requests;
    for (int i = 0; i < count; ++i)
        requests.push_back(request(pdu, {oids[random.bounded(int(oids.size()))]}, 0, 25));
    return requests;
}

void print(const char *what, const Figures &f)
{
    std::printf("%-34s %9.0f req/s  p50 %6.0f us  p99 %7.0f us", what, f.perSecond, f.p50, f.p99);
    if (f.cpuPerAnswer > 0)
        std::printf("  CPU %5.2f us/answer", f.cpuPerAnswer);
    std::printf("\n");
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    const int milliseconds = (argc > 1 ? QByteArray(argv[1]).toInt() : 2) * 1000;
    QTemporaryDir folder;

    // The recording, written once.
    const QString path = folder.filePath(QStringLiteral("switch.walk"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        QByteArray chunk;
        for (int i = 0; i < Objects; ++i) {
            chunk += generatedLine(i);
            if (chunk.size() > (1 << 20) || i + 1 == Objects) {
                if (file.write(chunk) != chunk.size())
                    return 1;
                chunk.clear();
            }
        }
    }
    const qint64 fileSize = QFileInfo(path).size();

    QElapsedTimer timer;
    timer.start();
    qint64 lines = 0;
    {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        QByteArray line(4096, Qt::Uninitialized);
        while (file.readLine(line.data(), line.size()) > 0)
            ++lines;
    }
    const qint64 plainMs = timer.elapsed();

    const qint64 before = residentBytes();
    timer.restart();
    Result<RecordedTree> read = readRecording(path);
    const qint64 loadMs = timer.elapsed();
    if (!read) {
        std::fprintf(stderr, "%s\n", qPrintable(read.failure().description));
        return 1;
    }
    auto tree = std::make_shared<const RecordedTree>(std::move(read.value()));
    const qint64 added = residentBytes() - before;
    std::printf("Recording: %d objects, %.1f MB of walk text\n", Objects, fileSize / 1e6);
    std::printf("  plain line-by-line read  %5lld ms (%lld lines)\n", plainMs, lines);
    std::printf("  read into a tree         %5lld ms, %.1f MB added (tree holds %.1f MB)\n", loadMs,
                added / 1e6, tree->memoryUsed() / 1e6);

    // The agents without a window: rows 0 to 2 on loopback, on ports the system chose.
    PrintedMessages messages;
    DebugTrace trace(folder.path());
    SnmpAgents agents(trace, messages);
    RecordingLoader loader(agents, messages);
    std::vector<quint16> ports;
    for (int row = 0; row < 3; ++row) {
        agents.setAddress(row, QStringLiteral("127.0.0.1"));
        if (!agents.startOnAnyPort(row))
            return 1;
        ports.push_back(agents.port(row).toUShort());
    }

    QStringList recorded;
    QRandomGenerator pick(11);
    for (int i = 0; i < 20000; ++i)
        recorded.append(ber::decodeOid(tree->oidContent(pick.bounded(int(tree->size())))).value());
    const std::vector<QByteArray> sysName{
        request(SnmpPdu::GetRequest, {QStringLiteral("1.3.6.1.2.1.1.5.0")})};

    // Row 0 answering while row 1 reads the file through the menu's path.
    bool loaded = false;
    QObject::connect(&loader, &RecordingLoader::loadEnded, [&] { loaded = true; });
    QElapsedTimer loading;
    const Figures during = loadWhileServing(ports[0], sysName, 3000, [&] {
        loading.start();
        loader.serveFile(1, path);
        while (!loaded && loading.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::printf("  served through the row menu's path in %lld ms\n", loading.elapsed());
    });
    std::printf("  row 0 answering meanwhile: %.0f req/s, longest wait %.1f ms\n", during.perSecond,
                during.max / 1000);

    // Row 2 serves the same tree as row 1, its counters advancing.
    agents.serveRecording(2, {tree, path});
    RowBehaviour advancing;
    advancing.countersAdvance = true;
    agents.setBehaviour(2, advancing);

    EchoFloor echo;
    std::printf("\n%d requests in flight, %d ms per run, loopback\n", InFlight, milliseconds);
    // Short turns taken in alternation, twenty of each: a shared machine's speed drifts over
    // seconds, and every kind then sees the same drift. Rates come from the totals, the
    // latencies are the turns' medians.
    const std::vector<QByteArray> nexts = randomRequests(recorded, SnmpPdu::GetNextRequest);
    std::vector<Figures> floors, owns, nextRuns, advancingRuns;
    const int turn = qMax(100, milliseconds / 4);
    for (int round = 0; round < 20; ++round) {
        floors.push_back(load(echo.port(), sysName, turn));
        owns.push_back(loadWhileServing(ports[0], sysName, turn));
        nextRuns.push_back(loadWhileServing(ports[1], nexts, turn));
        advancingRuns.push_back(loadWhileServing(ports[2], nexts, turn));
    }
    const auto combined = [turn](const std::vector<Figures> &turns) {
        Figures all;
        std::vector<double> p50s, p99s;
        double cpu = 0;
        for (const Figures &f : turns) {
            all.answers += f.answers;
            cpu += f.cpuPerAnswer * double(f.answers);
            p50s.push_back(f.p50);
            p99s.push_back(f.p99);
        }
        std::sort(p50s.begin(), p50s.end());
        std::sort(p99s.begin(), p99s.end());
        all.perSecond = double(all.answers) * 1000.0 / (double(turn) * double(turns.size()));
        all.p50 = p50s[p50s.size() / 2];
        all.p99 = p99s[p99s.size() / 2];
        all.cpuPerAnswer = cpu / double(qMax<qint64>(1, all.answers));
        return all;
    };
    const Figures floor = combined(floors);
    const Figures own = combined(owns);
    const Figures next = combined(nextRuns);
    const Figures nextAdvancing = combined(advancingRuns);
    print("batched echo (floor)", floor);
    print("row: Get sysName.0", own);
    print("recording: GetNext random", next);
    print("  the same, counters advancing", nextAdvancing);
    std::printf("  GetNext rate %.2f of the sysName.0 Get rate; sysName.0 %.2f of the floor\n",
                next.perSecond / qMax(1.0, own.perSecond),
                own.perSecond / qMax(1.0, floor.perSecond));
    std::printf("  GetNext rate with counters advancing %.2f of the rate with counters still\n",
                nextAdvancing.perSecond / qMax(1.0, next.perSecond));
    const Figures bulk =
        loadWhileServing(ports[1], randomRequests(recorded, SnmpPdu::GetBulkRequest), milliseconds);
    print("recording: GetBulk (0, 25) random", bulk);

    // snmpd over its own tree, asked the same way from identifiers of a walk of it.
    const QString snmpd =
        QStandardPaths::findExecutable(QStringLiteral("snmpd"), {"/usr/sbin", "/usr/local/sbin"});
    if (snmpd.isEmpty()) {
        std::printf("snmpd not found: no comparison\n");
        return 0;
    }
    const quint16 reference = freeUdpPort();
    QProcess reference_agent;
    if (!startSnmpd(reference_agent, snmpd, folder.path(), "rocommunity kettle 127.0.0.1\n",
                    reference))
        return 1;
    QProcess walk;
    walk.setProcessEnvironment(snmpdEnvironment(folder.path()));
    QStringList theirs;
    for (int attempt = 0; attempt < 20 && theirs.size() < 100; ++attempt) {
        walk.start(QStringLiteral("snmpwalk"), {"-On", "-m", "", "-v2c", "-c", "kettle",
                                                "127.0.0.1:" + QString::number(reference)});
        walk.waitForFinished(30000);
        theirs.clear();
        for (const QByteArray &line : walk.readAllStandardOutput().split('\n'))
            if (line.startsWith('.'))
                theirs.append(QString::fromLatin1(line.mid(1, line.indexOf(' ') - 1)));
        if (theirs.size() < 100)
            QThread::msleep(200);
    }
    const Figures snmpdBulk =
        load(reference, randomRequests(theirs, SnmpPdu::GetBulkRequest), milliseconds);
    print("snmpd: GetBulk (0, 25) random", snmpdBulk);
    std::printf("  GetBulk rate x%.2f of snmpd's, p99 %.2f of snmpd's (%lld objects in its "
                "tree)\n",
                bulk.perSecond / qMax(1.0, snmpdBulk.perSecond),
                bulk.p99 / qMax(1.0, snmpdBulk.p99), qint64(theirs.size()));
    reference_agent.kill();
    reference_agent.waitForFinished(3000);
    return 0;
}
