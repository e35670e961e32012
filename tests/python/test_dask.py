import os

import pytest

import glossmith

distributed = pytest.importorskip("distributed")
dask_bag = pytest.importorskip("dask.bag")


def test_cluster_gives_the_one_process_result(tmp_path):
    rules = glossmith.Rules()
    rules.add_pair("dude", "d00d")
    rules.set_letter("H", "#")
    t = glossmith.Translator(rules, hardcore=True)
    texts = [f"Hello dude {i}, the elite hacker rocks!\n" * (i % 7) for i in range(400)]
    expected = [t.translate(x) for x in texts]

    with distributed.LocalCluster(n_workers=2, processes=True, threads_per_worker=1,
                                  host="127.0.0.1", dashboard_address=None,
                                  local_directory=str(tmp_path)) as cluster, \
            distributed.Client(cluster) as client:
        bag = dask_bag.from_sequence(texts, npartitions=8)
        assert bag.map(t.translate).compute() == expected
        assert bag.map_partitions(t.translate_many, jobs=1).compute() == expected
        # The workers really are other processes.
        assert len({pid for pid in client.run(os.getpid).values()} - {os.getpid()}) == 2
