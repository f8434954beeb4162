# quillon-resolver's bridge to yt-dlp. Run by the service with the Python of the yt-dlp it was pointed at:
#     python -c <this text> '{"program": ..., "proxy": ..., "socket_timeout": ..., "js_runtimes": ...}'
# Starting Python and importing yt-dlp takes most of a small resolution, so this process does it once: it
# imports yt-dlp, loads every extractor, builds the YoutubeDL object, and then forks one child per page. Each
# child starts from that warm state, extracts, writes its answer to a pipe and ends; nothing of one page (its
# cookies, say) reaches the next. The service talks to this process over standard input and output, one JSON
# object a line:
#     in:  {"id": N, "claims": URL}      out: {"id": N, "claimed": "Youtube"} or {"id": N, "claimed": null}
#     in:  {"id": N, "extract": URL, "timeout": SECONDS}
#                                        out: {"id": N, "info": {...}}
#                                          or {"id": N, "error": TEXT, "exceptions": [CLASS, ...]}
#     in:  {"id": N, "cancel": true}     the child of job N is killed with its process group
# and, once, when ready: {"ready": true, "version": V, "extractors": COUNT}, or {"failed": TEXT} before ending.
import ctypes
import json
import os
import resource
import select
import signal
import sys
import zipfile

PR_SET_PDEATHSIG = 1
ANSWER_LIMIT = 16 * 1024 * 1024
FORMAT_KEYS = ('format_id', 'url', 'manifest_url', 'protocol', 'ext', 'vcodec', 'acodec', 'width', 'height',
               'tbr', 'fps', 'http_headers', 'manifest_stream_number', 'has_drm', 'container', 'filesize',
               'filesize_approx')
INFO_KEYS = ('extractor', 'extractor_key', 'title', 'duration', 'is_live', 'live_status', 'webpage_url')


def die_with_parent():
    try:
        ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGKILL)
    except (OSError, AttributeError):
        pass


def limit_memory(limit):
    """A page may take this much data beyond what the warm process already holds; a page that needs more ends
    its child, not the service's memory. Data, not address space: a JavaScript runtime that yt-dlp starts
    reserves gigabytes of address space it never uses, and could not start under such a limit."""
    if limit <= 0:
        return
    with open('/proc/self/status') as status:
        held = next(int(line.split()[1]) * 1024 for line in status if line.startswith('VmData:'))
    resource.setrlimit(resource.RLIMIT_DATA, (held + limit, held + limit))


class Logger:
    """yt-dlp writes nothing anywhere; its last error is what the service is told."""

    def __init__(self):
        self.last_error = ''

    def debug(self, message):
        pass

    def info(self, message):
        pass

    def warning(self, message):
        pass

    def error(self, message):
        self.last_error = message


def plain_text(message):
    text = str(message)
    while '\x1b[' in text:  # colour codes
        start = text.index('\x1b[')
        end = start + 2
        while end < len(text) and not text[end].isalpha():
            end += 1
        text = text[:start] + text[end + 1:]
    for prefix in ('ERROR: ', 'WARNING: '):
        if text.startswith(prefix):
            text = text[len(prefix):]
    text = text.split('; please report this issue')[0]  # yt-dlp's plea to its own tracker
    return text.strip()[:500]


def exception_names(error):
    """The class names of an error and of the errors behind it, outermost first, which tell its kind better than
    its words: yt-dlp's DownloadError keeps the extractor's error in exc_info, that one the network's in
    exc_info or cause, and urllib's URLError the system's in reason."""
    names = []
    while isinstance(error, BaseException) and len(names) < 8:
        names.append(type(error).__name__)
        info = getattr(error, 'exc_info', None)
        behind = [info[1] if isinstance(info, tuple) and len(info) > 1 else None, getattr(error, 'cause', None),
                  getattr(error, 'reason', None), error.__cause__, error.__context__]
        error = next((other for other in behind if isinstance(other, BaseException) and other is not error), None)
    return names


def first_video(info):
    while isinstance(info, dict) and info.get('_type') in ('playlist', 'multi_video'):
        entries = [entry for entry in (info.get('entries') or []) if entry]
        info = entries[0] if entries else None
    return info if isinstance(info, dict) else None


def own_headers(headers, standard):
    """The headers a format needs of its own. yt-dlp names its standard ones (User-Agent, Accept,
    Accept-Language, Sec-Fetch-Mode) for every format, though any client may send its own instead; a value
    that differs from the standard one (a site's User-Agent), cookies, a Referer or an authorisation stay."""
    if not isinstance(headers, dict):
        return headers
    return {name: value for name, value in headers.items() if standard.get(str(name).lower()) != value}


def trimmed(info, standard_headers):
    answer = {key: info.get(key) for key in INFO_KEYS}
    formats = info.get('formats') or [info]
    answer['formats'] = [{key: fmt.get(key) for key in FORMAT_KEYS} for fmt in formats if isinstance(fmt, dict)]
    for fmt in answer['formats']:
        fmt['http_headers'] = own_headers(fmt['http_headers'], standard_headers)
    return answer


def extract(ydl, logger, url):
    try:
        info = first_video(ydl.extract_info(url, download=False))
    except BaseException as error:  # yt-dlp raises many kinds; every one is an answer
        return {'error': plain_text(logger.last_error or error) or type(error).__name__,
                'exceptions': exception_names(error)}
    if info is None:
        return {'error': plain_text(logger.last_error) or 'no video'}
    standard = {str(name).lower(): value for name, value in (ydl.params.get('http_headers') or {}).items()}
    return {'info': trimmed(info, standard)}


class Bridge:
    def __init__(self, config):
        self.config = config
        # Our answers go to our own copy of standard output; whatever else writes there goes to stderr.
        self.out = os.fdopen(os.dup(1), 'w', encoding='utf-8', buffering=1)
        os.dup2(2, 1)
        sys.stdout = sys.stderr
        self.jobs = {}  # pipe descriptor -> [id, pid, received bytes]
        self.pending = b''

    def send(self, message):
        self.out.write(json.dumps(message, ensure_ascii=True, default=str) + '\n')
        self.out.flush()

    def load(self):
        program = self.config['program']
        if zipfile.is_zipfile(program):  # the release's zipapp carries yt-dlp inside
            sys.path.insert(0, program)
        import yt_dlp
        from yt_dlp.extractor import gen_extractor_classes
        self.logger = Logger()
        params = {
            'quiet': True, 'no_warnings': True, 'noprogress': True, 'logger': self.logger, 'simulate': True,
            'skip_download': True, 'noplaylist': True, 'playlist_items': '1', 'format': 'all',
            'socket_timeout': self.config['socket_timeout'], 'proxy': self.config['proxy'], 'color': 'no_color',
        }
        if self.config.get('js_runtimes'):  # yt-dlp from late 2025 on; earlier ones pass it by
            params['js_runtimes'] = self.config['js_runtimes']
        self.ydl = yt_dlp.YoutubeDL(params)
        self.claimers = [ie for ie in gen_extractor_classes() if getattr(ie, '_ENABLED', True)
                         and ie.ie_key() != 'Generic']
        for ie in self.claimers:  # compiles every address pattern now, not at the first page
            ie.suitable('http://warm.invalid/')
        # An empty page through the generic extractor loads the modules of every extractor it consults.
        warm = yt_dlp.YoutubeDL(dict(params, proxy='', logger=Logger()))
        try:
            warm.extract_info('data:text/html,<html></html>', download=False, force_generic_extractor=True)
        except BaseException:
            pass
        version = getattr(getattr(yt_dlp, 'version', None), '__version__', '')
        return version

    def claimed_by(self, url):
        for ie in self.claimers:
            try:
                if ie.suitable(url):
                    return ie.ie_key()
            except BaseException:
                continue
        return None

    def start_job(self, job_id, url, timeout):
        read_end, write_end = os.pipe()
        pid = os.fork()
        if pid == 0:
            os.close(read_end)
            self.run_child(write_end, url, timeout)
        os.close(write_end)
        self.jobs[read_end] = [job_id, pid, bytearray()]
        self.send({'id': job_id, 'pid': pid})

    def run_child(self, write_end, url, timeout):
        try:
            os.setsid()  # its own process group: killed with whatever it starts
            die_with_parent()
            signal.alarm(int(timeout) + 5)  # a last resort if the service's own kill never comes
            limit_memory(self.config.get('memory_limit') or 0)
            null = os.open(os.devnull, os.O_RDONLY)
            os.dup2(null, 0)
            answer = json.dumps(extract(self.ydl, self.logger, url), ensure_ascii=True, default=str).encode()
            view = memoryview(answer)
            while view:
                view = view[os.write(write_end, view):]
        finally:
            os._exit(0)

    def find_job(self, job_id):
        for descriptor, job in self.jobs.items():
            if job[0] == job_id:
                return descriptor, job
        return None, None

    def handle(self, line):
        try:
            request = json.loads(line)
            job_id = request['id']
        except (ValueError, KeyError, TypeError):
            return
        if 'claims' in request:
            self.send({'id': job_id, 'claimed': self.claimed_by(str(request['claims']))})
        elif 'extract' in request:
            self.start_job(job_id, str(request['extract']), float(request.get('timeout') or 60))
        elif 'cancel' in request:
            descriptor, job = self.find_job(job_id)
            if job:
                self.kill(job[1])

    @staticmethod
    def kill(pid):
        try:
            os.killpg(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass

    def finish_job(self, descriptor):
        job_id, pid, received = self.jobs.pop(descriptor)
        os.close(descriptor)
        self.kill(pid)  # whatever the child left running in its group goes with it
        _, status = os.waitpid(pid, 0)
        try:
            answer = json.loads(received.decode('utf-8'))
            if not isinstance(answer, dict):
                raise ValueError
        except ValueError:
            answer = {'error': 'ended without an answer (status %d)' % status}
        answer['id'] = job_id
        self.send(answer)

    def read_job(self, descriptor):
        job = self.jobs[descriptor]
        piece = os.read(descriptor, 1 << 16)
        if piece and len(job[2]) + len(piece) <= ANSWER_LIMIT:
            job[2] += piece
            return
        if piece:  # too long to be an answer
            self.kill(job[1])
            job[2] = bytearray()
        self.finish_job(descriptor)

    def serve(self):
        while True:
            readable, _, _ = select.select([0] + list(self.jobs), [], [])
            for descriptor in readable:
                if descriptor != 0:
                    self.read_job(descriptor)
                    continue
                piece = os.read(0, 1 << 16)
                if not piece:
                    for _, pid, _ in self.jobs.values():
                        self.kill(pid)
                    return
                self.pending += piece
                *lines, self.pending = self.pending.split(b'\n')
                for line in lines:
                    self.handle(line)


def main():
    die_with_parent()
    bridge = Bridge(json.loads(sys.argv[1]))
    try:
        version = bridge.load()
    except BaseException as error:
        bridge.send({'failed': plain_text(error) or type(error).__name__})
        return 1
    bridge.send({'ready': True, 'version': version, 'extractors': len(bridge.claimers)})
    bridge.serve()
    return 0


sys.exit(main())
